// The settings file: its name, its section, and every key with its type and
// read default, named once. The window, the plain-text endpoints and
// corvane-cli all read it through TSettingsFile (section and key names in any
// letter case, a file written back in its own form).
#pragma once

#include <QString>

#include "core/inifile.h"

namespace corvane {

inline constexpr const char *SettingsFileName = "Corvane.ini";
inline constexpr const char *SettingsSection = "PARAMS";

// A key and the value it reads as when missing or unreadable.
template <typename T> struct TSetting {
    const char *Name;
    T Default;
};

namespace setting {
// clang-format off
inline constexpr TSetting<const char *> Lang               {"lang", ""};
inline constexpr TSetting<int>          MaxThreads         {"max-threads", 5};
inline constexpr TSetting<int>          ShingleLength      {"shingle-length", 6};
inline constexpr TSetting<int>          RequestDelay       {"req-predelay", 100};
inline constexpr TSetting<bool>         ImportNoClear      {"import-no-clear", false};
inline constexpr TSetting<int>          UserAgent          {"user-agent", 0};
inline constexpr TSetting<const char *> CustomUserAgent    {"custom-user-agent", ""};
inline constexpr TSetting<int>          AlgVersion         {"alg-version", 1};
inline constexpr TSetting<bool>         IgnoreStopWords    {"ignore-stop-words", true};
inline constexpr TSetting<bool>         LogFirst           {"log-first", false};
inline constexpr TSetting<const char *> PlainTextEndpoint1 {"plaintext-endpoint-1", ""};
inline constexpr TSetting<const char *> PlainTextEndpoint2 {"plaintext-endpoint-2", ""};
inline constexpr TSetting<int>          DuplicateThreshold {"duplicate-threshold", 90};
inline constexpr TSetting<int>          TemplateShare      {"template-share", 50};
inline constexpr TSetting<bool>         IgnoreTemplate     {"ignore-template", false};
// Result-list columns hidden through the header's menu: numbers, comma-separated
// (the canonical-link column until the user shows it).
inline constexpr TSetting<const char *> HiddenColumns      {"hidden-columns", "8"};
// The crawl dialog's last values.
inline constexpr TSetting<const char *> CrawlURL           {"crawl-url", ""};
inline constexpr TSetting<int>          CrawlMaxPages      {"crawl-max-pages", 500};
inline constexpr TSetting<bool>         CrawlSubdomains    {"crawl-subdomains", false};
inline constexpr TSetting<bool>         CrawlFollowNoFollow{"crawl-follow-nofollow", false};
inline constexpr TSetting<bool>         CrawlSitemaps      {"crawl-sitemaps", false};
inline constexpr TSetting<bool>         CrawlIgnoreRobots  {"crawl-ignore-robots", false};
inline constexpr TSetting<const char *> CrawlDropParams    {"crawl-drop-params", ""};
// clang-format on
} // namespace setting

// The settings file beside the executable: AppDir + "Corvane.ini".
QString SettingsFilePath();

// One settings file, read when made; changes are kept in memory until Save.
class TSettingsFile {
public:
    explicit TSettingsFile(const QString &Path = SettingsFilePath()) : FIni(Path) {}

    bool Exists() const { return FIni.Exists(); }
    const QString &Path() const { return FIni.FileName(); }

    int Read(const TSetting<int> &Key) const {
        return FIni.ReadInteger(Section(), Name(Key), Key.Default);
    }
    bool Read(const TSetting<bool> &Key) const {
        return FIni.ReadBool(Section(), Name(Key), Key.Default);
    }
    QString Read(const TSetting<const char *> &Key) const {
        return FIni.ReadString(Section(), Name(Key), QString::fromUtf8(Key.Default));
    }

    void Write(const TSetting<int> &Key, int Value) {
        FIni.WriteInteger(Section(), Name(Key), Value);
    }
    void Write(const TSetting<bool> &Key, bool Value) {
        FIni.WriteBool(Section(), Name(Key), Value);
    }
    void Write(const TSetting<const char *> &Key, const QString &Value) {
        FIni.WriteString(Section(), Name(Key), Value);
    }

    // Writes the file (created when missing); false with the reason on failure.
    bool Save(QString *Error = nullptr) { return FIni.Save(Error); }

private:
    static QString Section() { return QString::fromLatin1(SettingsSection); }
    template <typename T> static QString Name(const TSetting<T> &Key) {
        return QString::fromLatin1(Key.Name);
    }
    TIniFile FIni;
};

} // namespace corvane
