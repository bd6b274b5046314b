(function () {
  'use strict';
  const table = document.getElementById('list');
  if (!table || !table.tBodies.length) return;
  // The rows come in parts (tbody elements) of a fixed size; a part off
  // screen is neither styled nor laid out, so a new order costs about what
  // the rows on screen cost.
  const parts = Array.from(table.tBodies);
  const sizes = parts.map((part) => part.rows.length);
  const heads = table.tHead.rows[0].cells;
  const rows = parts.flatMap((part) => Array.from(part.rows));
  const position = new Map(rows.map((row, i) => [row, i]));
  const details = new Array(rows.length); // the row under a page's row, once opened
  const keys = new Array(heads.length);
  const filter = document.getElementById('filter');
  const grade = document.getElementById('grade');
  const shown = document.getElementById('shown');
  let texts = null;
  let filtered = false;
  let sorted = -1;
  let direction = 1;

  document.getElementById('tools').hidden = false;

  // Sort keys of a column, read once: numbers (the decimal comma of some
  // languages included) or lower-case text.
  function columnKeys(column) {
    if (keys[column]) return keys[column];
    const numeric = heads[column].dataset.type === 'n';
    keys[column] = rows.map((row) => {
      const text = row.cells[column].textContent.trim();
      if (!numeric) return text.toLowerCase();
      const value = parseFloat(text.replace(',', '.'));
      return Number.isNaN(value) ? -Infinity : value;
    });
    return keys[column];
  }

  function sortBy(column) {
    direction = column === sorted ? -direction : 1;
    sorted = column;
    const key = columnKeys(column);
    const order = rows.map((row, i) => i);
    order.sort((a, b) => (key[a] < key[b] ? -direction : key[a] > key[b] ? direction : a - b));
    let next = 0;
    parts.forEach((part, j) => {
      const fragment = document.createDocumentFragment();
      for (const end = next + sizes[j]; next < end; ++next) {
        const i = order[next];
        fragment.appendChild(rows[i]);
        if (details[i]) fragment.appendChild(details[i]);
      }
      part.appendChild(fragment);
    });
    estimateParts();
    for (const head of heads) head.removeAttribute('aria-sort');
    heads[column].setAttribute('aria-sort', direction > 0 ? 'ascending' : 'descending');
  }

  // The height a part off screen is given: its rows that are shown.
  function estimateParts() {
    if (!filtered) return;
    for (const part of parts) {
      let visible = 0;
      for (const row of part.rows) if (!row.hidden && position.has(row)) ++visible;
      part.hidden = visible === 0;
      part.style.containIntrinsicSize = visible * 29 + 'px';
    }
  }

  function toggle(i) {
    const row = rows[i];
    row.setAttribute('aria-expanded', String(!row.classList.contains('open')));
    if (!details[i]) {
      const page = document.getElementById('d' + row.cells[0].textContent.trim());
      if (!page) return;
      const line = document.createElement('tr');
      const cell = document.createElement('td');
      line.className = 'dr';
      cell.colSpan = heads.length;
      page.open = true;
      cell.appendChild(page);
      line.appendChild(cell);
      row.after(line);
      details[i] = line;
      row.classList.add('open');
      return;
    }
    const open = !row.classList.contains('open');
    row.classList.toggle('open', open);
    details[i].hidden = !open;
    if (open) details[i].querySelector('details').open = true;
  }

  function applyFilter() {
    const words = filter.value.trim().toLowerCase();
    const wanted = grade.value;
    if (!texts) texts = rows.map((row) => row.textContent.toLowerCase());
    let count = 0;
    rows.forEach((row, i) => {
      const visible = (!wanted || row.dataset.g === wanted) && (!words || texts[i].includes(words));
      row.hidden = !visible;
      if (details[i]) details[i].hidden = !visible || !row.classList.contains('open');
      if (visible) ++count;
    });
    shown.textContent = count;
    filtered = true;
    estimateParts();
  }

  Array.from(heads).forEach((head, column) => {
    head.tabIndex = 0;
    head.addEventListener('click', () => sortBy(column));
    head.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        sortBy(column);
      }
    });
  });
  // A row opens by keyboard too: Tab to it, then Enter or Space.
  for (const row of rows) row.tabIndex = 0;
  table.addEventListener('keydown', (event) => {
    if ((event.key !== 'Enter' && event.key !== ' ') || !position.has(event.target)) return;
    event.preventDefault();
    toggle(position.get(event.target));
  });
  table.addEventListener('click', (event) => {
    if (event.target.closest('a, details')) return;
    const row = event.target.closest('tr');
    if (position.has(row)) toggle(position.get(row));
  });
  filter.addEventListener('input', applyFilter);
  grade.addEventListener('change', applyFilter);
})();
