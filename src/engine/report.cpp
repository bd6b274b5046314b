#include "engine/report.h"

#include <QFile>
#include <QStringEncoder>

#include "core/i18n.h"

namespace corvane {

QStringList ReportCaptions() {
    return {_("№"), _("URL"), _("Код ответа"), _("Уникальность, %"), _("i")};
}

QStringList ReportFields(const TURLTaskInfo &Task) {
    return {QString::number(Task.Num), Task.URL,
            Task.TaskResults ? Task.TaskResults->ErrorText() : QString(), Task.UniquenessText(),
            QStringLiteral("i")};
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

QString ReportText(const QList<const TURLTaskInfo *> &Rows) {
    const QString crlf = QStringLiteral("\r\n");
    QString text = joinFields(ReportCaptions()) + crlf;
    for (const TURLTaskInfo *t : Rows)
        if (t) text += joinFields(ReportFields(*t)) + crlf;
    text += crlf;
    text += ReportFooter() + crlf;
    return text;
}

QByteArray ReportBytes(const QList<const TURLTaskInfo *> &Rows) {
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(ReportText(Rows));
}

bool WriteReport(const QString &Path, const QList<const TURLTaskInfo *> &Rows, QString &Error) {
    const QByteArray bytes = ReportBytes(Rows);
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
