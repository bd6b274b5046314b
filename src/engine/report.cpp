#include "engine/report.h"

#include <QFile>
#include <QStringEncoder>

#include "core/i18n.h"

namespace corvane {

QStringList ReportCaptions(bool Extra) {
    QStringList captions = {_("№"), _("URL"), _("Код ответа"), _("Уникальность, %"), _("i")};
    if (Extra)
        captions << _("Группа") << _("Представитель") << _("Шаблон, %") << _("Слов")
                 << _("Canonical") << _("Noindex");
    return captions;
}

QStringList ReportFields(const TURLTaskInfo &Task, bool Extra) {
    const TURLTaskResults *r = Task.TaskResults.get();
    QStringList fields = {QString::number(Task.Num), Task.URL, r ? r->ErrorText() : QString(),
                          Task.UniquenessText(), QStringLiteral("i")};
    if (!Extra) return fields;
    const bool analysed = r && r->TemplateShare >= 0;
    fields << (analysed && r->Group ? QString::number(r->Group) : QString())
           << (analysed && r->Representative ? QString::number(r->Representative) : QString())
           << (analysed ? PercentText(r->TemplateShare) : QString())
           << (r && r->Signals.WordCount >= 0 ? QString::number(r->Signals.WordCount) : QString())
           << (r ? r->Signals.Canonical : QString())
           << (r && r->Signals.NoIndex ? QStringLiteral("noindex") : QString());
    return fields;
}

QString ReportFooter() {
    return _("Отчет сгенерирован при помощи Corvane ( https://www.corvane.example/ )");
}

QString QuoteReportField(const QString &Field) {
    if (!Field.contains(u';') && !Field.contains(u'"') && !Field.contains(u'\r') &&
        !Field.contains(u'\n'))
        return Field;
    QString quoted = Field;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

namespace {

QString joinFields(const QStringList &fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i) line += u';';
        line += QuoteReportField(fields[i]);
    }
    return line;
}

} // namespace

QString ReportText(const QList<const TURLTaskInfo *> &Rows, bool Extra) {
    const QString crlf = QStringLiteral("\r\n");
    QString text = joinFields(ReportCaptions(Extra)) + crlf;
    for (const TURLTaskInfo *t : Rows)
        if (t) text += joinFields(ReportFields(*t, Extra)) + crlf;
    text += crlf;
    text += ReportFooter() + crlf;
    return text;
}

QByteArray ReportBytes(const QList<const TURLTaskInfo *> &Rows, bool Extra) {
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(ReportText(Rows, Extra));
}

bool WriteReport(const QString &Path, const QList<const TURLTaskInfo *> &Rows, QString &Error,
                 bool Extra) {
    const QByteArray bytes = ReportBytes(Rows, Extra);
    QFile f(Path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() ||
        !f.flush()) {
        Error = _("Невозможно создать файл экспорта!");
        return false;
    }
    f.close();
    if (f.error() != QFileDevice::NoError) {
        Error = _("Невозможно создать файл экспорта!");
        return false;
    }
    return true;
}

} // namespace corvane
