// Translating a whole window: every text a widget holds is looked up in the
// current catalog, and its source text is remembered so that a later language
// switch can translate it again.
#pragma once

class QWidget;

namespace corvane::ui {

// Widgets marked with this property (set to true) are left alone, with their children.
inline constexpr const char *NoTranslateProperty = "corvaneNoTranslate";

void MarkNoTranslate(QWidget *W);

// Translates (first call) or retranslates (later calls) Root and its children.
void TranslateWindow(QWidget *Root);

} // namespace corvane::ui
