#include "SettingsCheck.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "ContentTree.h"

namespace zelpack {
namespace {

constexpr size_t kMaxValueChars = 1023;   // string reads use a 1024-character buffer
constexpr size_t kWholeSectionChars = 2000;  // sections read whole are cut here

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// `prefix` followed by a decimal number.
bool Numbered(const std::string& name, const std::string& prefix) {
    return name.size() > prefix.size() && EqualsNoCase(name.substr(0, prefix.size()), prefix) &&
           AllDigits(name.substr(prefix.size()));
}

bool EndsWithNoCase(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && EqualsNoCase(s.substr(s.size() - end.size()), end);
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    size_t from = 0;
    while (from <= text.size()) {
        size_t semi = text.find(';', from);
        if (semi == std::string::npos) semi = text.size();
        std::string piece = Trim(text.substr(from, semi - from));
        if (!piece.empty()) out.push_back(piece);
        from = semi + 1;
    }
    return out;
}

std::string Shown(const std::string& text) { return text.size() > 40 ? text.substr(0, 40) + "..." : text; }

std::string Line(size_t n) { return "line " + std::to_string(n) + ": "; }

// --- vocabulary -------------------------------------------------------------

struct SectionRule {
    std::vector<std::string> keys;              // fixed key names
    bool (*pattern)(const std::string&) = nullptr;  // numbered or free-form keys
    bool anyKey = false;
};

bool RuntimePattern(const std::string& k) { return Numbered(k, "AutoLaunch"); }
bool ConditionsPattern(const std::string& k) { return Numbered(k, "Condition"); }
bool RegEntriesPattern(const std::string& k) {
    return Numbered(k, "Root") || Numbered(k, "Key") || Numbered(k, "Entry") || Numbered(k, "Property");
}
bool LcidPattern(const std::string& k) { return AllDigits(k); }
bool OsPattern(const std::string& k) {
    for (const char* end : {"Exclude", "Warning", "ExtractPath"})
        if (k.size() > std::string(end).size() && EndsWithNoCase(k, end)) return true;
    return false;
}
bool ReturnCodePattern(const std::string& k) {
    const std::string prefix = "ReturnCode_";
    if (k.size() <= prefix.size() || !EqualsNoCase(k.substr(0, prefix.size()), prefix)) return false;
    std::string code = k.substr(prefix.size());
    if (code[0] == '-') code = code.substr(1);
    return AllDigits(code);
}

const std::map<std::string, SectionRule>& Sections() {
    static const std::map<std::string, SectionRule> rules = {
        {"Package", {{"Name", "NameDispl", "VersionString", "CheckOs", "MultiPartDownload", "MultipartFileName",
                      "Setuptype"}}},
        {"Runtime", {{"CheckAdmin", "ExtractPasswordRequired", "ExtractionPassword", "AllowChangeTarget",
                      "Multilaunch", "AutoLaunch", "AutoLaunch1", "WaitForAutolaunchFinish",
                      "AutoLaunchInstallationDialog", "Mode", "ExtractPath", "OpenExtractionLocation",
                      "DisplayWelcomeImage"},
                     RuntimePattern}},
        {"Dialogs", {{"LicenseDialog", "WelcomeDialog", "LanguageDialog"}}},
        {"Images", {{"TopImage", "BottomImage"}}},
        {"LogFiles", {{"ExtractLogFileName"}}},
        {"Languages", {{"SetupLanguages"}}},
        {"LicenseFiles", {{}, LcidPattern}},
        {"SecurityLicenseFiles", {{}, LcidPattern}},
        {"Conditions", {{"Action1", "Action1Condition", "Action1Message", "Condition1"}, ConditionsPattern}},
        {"ReadRegEntries", {{"Root1", "Key1", "Entry1", "Property1"}, RegEntriesPattern}},
        {"OS", {{"OSAllowed", "NoOSCheck"}, OsPattern}},
        {"Tavo", {{"FrameVersion", "GUID2"}}},
        {"Size", {{"PackageSize", "CabSize", "128MB"}}},
        {"FileCount", {{"Count"}}},
        {"Temporary", {{"Number"}}},
        {"PartFileIno", {{}, LcidPattern}},
        {"HashCode", {{}, LcidPattern}},
        {"AutoLaunch", {{"ReturnCode_0"}, ReturnCodePattern}},
    };
    return rules;
}

// The rule for a section name, or null for a section the stub never reads.
const SectionRule* RuleFor(const std::string& section) {
    static const SectionRule language{{}, nullptr, true};
    for (const auto& [name, rule] : Sections())
        if (EqualsNoCase(name, section)) return &rule;
    if (Numbered(section, "AutoLaunch")) return &Sections().at("AutoLaunch");
    if (AllDigits(section)) return &language;
    return nullptr;
}

bool KnownKey(const SectionRule& rule, const std::string& key) {
    if (rule.anyKey || (rule.pattern && rule.pattern(key))) return true;
    return std::any_of(rule.keys.begin(), rule.keys.end(), [&](const std::string& k) { return EqualsNoCase(k, key); });
}

bool IsWholeSectionRead(const std::string& section) {
    return EqualsNoCase(section, "OS") || EqualsNoCase(section, "AutoLaunch") || Numbered(section, "AutoLaunch");
}

// --- the file's shape: unknown names, repeats, lines that are never read ------

void CheckStructure(const SettingsText& settings, std::vector<Finding>& out) {
    std::vector<std::string> sectionNames;
    for (const auto& [name, rule] : Sections()) sectionNames.push_back(name);
    std::map<std::string, size_t> seenSections;            // lower-case name -> first line
    std::map<std::string, std::map<std::string, size_t>> seenKeys;
    std::map<std::string, size_t> wholeChars;               // characters so far of sections read whole
    std::string current;                                    // lower-case name of the section in force
    bool repeated = false;
    for (const SettingsLine& l : settings.Lines()) {
        if (l.kind == SettingsLine::kOther) {
            out.push_back({false, Line(l.number) + "'" + Shown(l.text) +
                                      "' is neither [Section], key=value nor a ;comment; the stub ignores it"});
            continue;
        }
        if (l.kind == SettingsLine::kSection) {
            current = ToLowerAscii(l.section);
            auto [it, fresh] = seenSections.emplace(current, l.number);
            repeated = !fresh;
            if (repeated) {
                out.push_back({false, Line(l.number) + "[" + l.section + "] appears again (first at line " +
                                          std::to_string(it->second) + "); the stub reads only the first"});
            } else if (!RuleFor(l.section)) {
                std::string near = NearestName(l.section, sectionNames);
                out.push_back({false, Line(l.number) + "[" + l.section + "] is not a section the stub reads" +
                                          (near.empty() ? "" : "; did you mean [" + near + "]?")});
            }
            continue;
        }
        if (l.kind != SettingsLine::kKey) continue;
        if (l.section.empty() && seenSections.empty()) {
            out.push_back({false, Line(l.number) + l.key + " stands before the first [section] and is never read"});
            continue;
        }
        if (repeated) continue;
        const SectionRule* rule = RuleFor(l.section);
        if (!rule) continue;
        std::string where = Line(l.number) + "[" + l.section + "] " + l.key;
        auto [it, fresh] = seenKeys[current].emplace(ToLowerAscii(l.key), l.number);
        if (!fresh) {
            out.push_back({false, where + " appears again (first at line " + std::to_string(it->second) +
                                      "); the stub reads only the first"});
        } else if (!KnownKey(*rule, l.key)) {
            std::string near = NearestName(l.key, rule->keys);
            out.push_back({false, where + " is not a key the stub reads" +
                                      (near.empty() ? "" : "; did you mean " + near + "?")});
        }
        std::u16string wide;
        Utf8ToUtf16(l.value, wide);
        if (wide.size() > kMaxValueChars)
            out.push_back({false, where + " is " + std::to_string(wide.size()) +
                                      " characters long; the stub reads only the first " +
                                      std::to_string(kMaxValueChars)});
        if (IsWholeSectionRead(l.section)) {
            size_t& chars = wholeChars[current];
            std::u16string k;
            Utf8ToUtf16(l.key, k);
            if (chars + k.size() + 1 + wide.size() + 1 > kWholeSectionChars)
                out.push_back({false, where + " lies beyond the first " + std::to_string(kWholeSectionChars) +
                                          " characters of [" + l.section + "], which is all the stub reads of it"});
            chars += k.size() + 1 + wide.size() + 1;
        }
    }
}

// --- conditions -------------------------------------------------------------

// Message keys are written with or without braces; "{}" means none.
std::string MessageKey(std::string text) {
    text = Trim(text);
    while (!text.empty() && text.front() == '{') text.erase(text.begin());
    while (!text.empty() && text.back() == '}') text.pop_back();
    return Trim(text);
}

// The words of Action1Condition: references become the letter T, and what
// is left must be AND, OR, NOT and T; blanks and parentheses end a word.
void CheckExpression(const SettingsText& s, const std::string& expression, std::set<std::string>& referenced,
                     std::vector<Finding>& out) {
    const std::string never = ": extraction is never allowed";
    std::string action = s.Get("Conditions", "Action1").value_or("");
    if (!EqualsNoCase(action, "Extract"))
        out.push_back({true, "[Conditions] Action1Condition is set but Action1 is " +
                                 (action.empty() ? std::string("missing") : "'" + action + "'") + ", not Extract" +
                                 never});
    if (std::count(expression.begin(), expression.end(), '(') != std::count(expression.begin(), expression.end(), ')'))
        out.push_back({true, "[Conditions] Action1Condition has unequal numbers of ( and )" + never});
    if (expression.find('\t') != std::string::npos)
        out.push_back({true, "[Conditions] Action1Condition holds a tab; only blanks may separate words" + never});
    std::string upper = ToUpperAscii(expression), word;
    std::set<std::string> unknown, named;
    auto endWord = [&]() {
        std::string letters;
        for (size_t i = 0; i < word.size();) {
            if (word.compare(i, 9, "CONDITION") == 0) {
                size_t j = i + 9;
                while (j < word.size() && std::isdigit((unsigned char)word[j])) ++j;
                std::string number = word.substr(i + 9, j - i - 9);
                bool first = named.insert(number).second;  // each reference is reported once
                if (number.empty() || (number.size() > 1 && number[0] == '0')) {
                    if (first)
                        out.push_back({true, "[Conditions] Action1Condition names Condition" + number +
                                             ", which is not a reference the stub resolves (write Condition1, "
                                             "Condition2, ...)" + never});
                } else {
                    referenced.insert("condition" + number);
                    if (first && !s.IsSet("Conditions", "Condition" + number))
                        out.push_back({true, "[Conditions] Action1Condition names Condition" + number +
                                                 ", which [Conditions] does not define" + never});
                }
                letters += 'T';
                i = j;
            } else {
                letters += word[i++];
            }
        }
        for (size_t i = 0; i < letters.size();) {
            size_t n = letters.compare(i, 3, "AND") == 0 || letters.compare(i, 3, "NOT") == 0 ? 3
                       : letters.compare(i, 2, "OR") == 0                                    ? 2
                       : letters[i] == 'T'                                                    ? 1
                                                                                              : 0;
            if (n == 0) {
                unknown.insert(word);
                break;
            }
            i += n;
        }
        word.clear();
    };
    for (char c : upper) {
        if (c == ' ' || c == '(' || c == ')') endWord();
        else word += c;
    }
    endWord();
    for (const std::string& w : unknown)
        if (w.find('\t') == std::string::npos)
            out.push_back({true, "[Conditions] Action1Condition holds '" + Shown(w) +
                                     "', which is not AND, OR, NOT, a parenthesis or a ConditionN reference" +
                                     never});
}

void CheckConditions(const SettingsText& s, std::vector<Finding>& out,
                     std::vector<std::pair<std::string, std::string>>& messageKeys) {
    std::string expression = s.Get("Conditions", "Action1Condition").value_or("");
    std::set<std::string> referenced;  // lower-case "conditionN"
    if (!expression.empty()) {
        CheckExpression(s, expression, referenced, out);
        std::string message = MessageKey(s.Get("Conditions", "Action1Message").value_or(""));
        if (!message.empty()) messageKeys.push_back({"[Conditions] Action1Message", message});
    }
    for (const auto& [key, value] : s.Keys("Conditions")) {
        if (!Numbered(key, "Condition") || value.empty()) continue;
        if (!referenced.count(ToLowerAscii(key))) {
            out.push_back({false, "[Conditions] " + key + " is defined but " +
                                      (expression.empty() ? std::string("there is no Action1Condition")
                                                          : "Action1Condition does not use it") +
                                      ", so it is never checked"});
            continue;
        }
        std::vector<std::string> fields = SplitList(value);
        if (fields.size() >= 5) {
            std::string message = MessageKey(fields[4]);
            if (!message.empty()) messageKeys.push_back({"[Conditions] " + key, message});
        }
    }
}

// --- setups -----------------------------------------------------------------

bool OsCheckActive(const SettingsText& s) {
    return s.Get("Package", "CheckOs").value_or("") == "1" || s.Get("OS", "NoOSCheck").value_or("") != "1";
}

void CheckLaunches(const SettingsText& s, std::vector<Finding>& out,
                   std::vector<std::pair<std::string, std::string>>& messageKeys) {
    bool multi = s.Get("Runtime", "Multilaunch").value_or("") == "1";
    bool single = s.IsSet("Runtime", "AutoLaunch"), first = s.IsSet("Runtime", "AutoLaunch1");
    if (multi && !first && single)
        out.push_back({false, "[Runtime] Multilaunch=1 starts AutoLaunch1, AutoLaunch2, ...; AutoLaunch alone "
                              "starts nothing (name it AutoLaunch1)"});
    if (!multi && first && !single)
        out.push_back({false, "[Runtime] AutoLaunch1 is read only with Multilaunch=1; set Multilaunch=1 or name "
                              "the key AutoLaunch"});
    if (multi) {
        int end = 1;
        while (s.IsSet("Runtime", "AutoLaunch" + std::to_string(end))) ++end;
        for (const auto& [key, value] : s.Keys("Runtime"))
            if (Numbered(key, "AutoLaunch") && !value.empty() &&
                (key.size() > 16 || std::stol(key.substr(10)) > end))
                out.push_back({false, "[Runtime] " + key + " is never started: the list ends before AutoLaunch" +
                                          std::to_string(end) + ", the first number without a value"});
    }
    bool launches = multi ? first : single;
    if (launches && OsCheckActive(s) && !s.IsSet("OS", "OSAllowed"))
        out.push_back({false, "[Runtime] " + std::string(multi ? "AutoLaunch1" : "AutoLaunch") +
                                  " is set but [OS] OSAllowed is missing, so no system is supported and the setup "
                                  "never starts; add [OS] OSAllowed with the systems you support (Windows51+ "
                                  "admits every system)"});
    for (const SettingsLine& l : s.Lines()) {
        if (l.kind != SettingsLine::kSection ||
            !(EqualsNoCase(l.section, "AutoLaunch") || Numbered(l.section, "AutoLaunch")))
            continue;
        for (const auto& [key, value] : s.Keys(l.section)) {
            if (!ReturnCodePattern(key)) continue;
            size_t colon = value.find(':');
            if (colon == std::string::npos) continue;
            std::string message = Trim(value.substr(colon + 1));
            if (message.size() > 2 && message.front() == '{' && message.back() == '}')
                messageKeys.push_back({"[" + l.section + "] " + key, MessageKey(message)});
        }
    }
}

// --- operating systems ------------------------------------------------------

struct SystemName {
    std::string name;  // lower case, as the stub compares
    int version;       // major * 10 + minor
};

// Every name the stub can report: friendly names and version tokens, with
// their 64-bit forms. Later systems report themselves as 6.3.
const std::vector<SystemName>& ReportedNames() {
    static const std::vector<SystemName> names = [] {
        std::vector<SystemName> v = {
            {"windowsxp", 51},   {"windows2003", 52}, {"windows2003r2", 52}, {"windowsvista", 60},
            {"windows2008", 60}, {"windows7", 61},    {"windows2008r2", 61}, {"windows8", 62},
            {"windows2012", 62}, {"windows8.1", 63},  {"windows2012r2", 63}, {"windows51", 51},
            {"windows52", 52},   {"windows60", 60},   {"windows61", 61},     {"windows62", 62},
            {"windows63", 63},
        };
        size_t n = v.size();
        for (size_t i = 0; i < n; ++i) v.push_back({v[i].name + "64", v[i].version});
        return v;
    }();
    return names;
}

// The version digits the stub derives for a "+" entry.
std::string VersionDigits(const std::string& base) {
    static const std::pair<const char*, const char*> table[] = {
        {"windows7", "61"},        {"windows2008r2", "61"},  {"windows764", "6164"},    {"windows2008r264", "6164"},
        {"windowsvista", "60"},    {"windows2008", "60"},    {"windowsvista64", "6064"}, {"windows200864", "6064"},
        {"windows2003r2", "52"},   {"windows2003", "52"},    {"windowsxp", "51"},        {"windows2003r264", "5264"},
        {"windowsxp64", "5264"},   {"windows200364", "5264"}, {"windows2000", "50"},     {"windowsnt", "40"},
        {"windows95", "410"},      {"windows98", "490"},
    };
    for (const auto& [name, digits] : table)
        if (EqualsNoCase(base, name)) return digits;
    std::string digits = base;
    for (size_t at; (at = digits.find("windows")) != std::string::npos;) digits.erase(at, 7);
    return digits;
}

void CheckOsAllowed(const SettingsText& s, std::vector<Finding>& out) {
    std::string allowed = s.Get("OS", "OSAllowed").value_or("");
    for (const std::string& entry : SplitList(allowed)) {
        std::string where = "[OS] OSAllowed entry " + entry;
        bool plus = entry.back() == '+';
        std::string base = ToLowerAscii(entry);
        base.erase(std::remove(base.begin(), base.end(), '+'), base.end());
        const SystemName* known = nullptr;
        for (const SystemName& n : ReportedNames())
            if (base == n.name) known = &n;
        if (!plus) {
            if (!known)
                out.push_back({false, where + " matches no system the stub reports (names such as Windows7, "
                                              "Windows764, Windows61; Windows 8.1 and later report as Windows8.1)"});
            continue;
        }
        std::string digits = VersionDigits(base);
        int major = !digits.empty() && std::isdigit((unsigned char)digits[0]) ? digits[0] - '0' : 0;
        const std::string counts = ": only the first digit of the version counts (" + std::to_string(major) + ")";
        if (major > 6)
            out.push_back({false, where + " matches no system the stub reports" + counts +
                                      ", and the stub reports every system as version 5 or 6 (Windows 8.1 and "
                                      "later as 6.3)"});
        else if (!known || known->version > (major <= 5 ? 51 : 60))
            out.push_back({false, where + " matches more than its name suggests" + counts + ", so it admits " +
                                      (major <= 5 ? "every system, Windows XP and Windows 7 included"
                                                  : "every system from Windows Vista (6.0) on") +
                                      "; list the systems instead"});
    }
}

// --- names and files --------------------------------------------------------

void CheckNames(const SettingsText& s, std::vector<Finding>& out) {
    std::string logName = s.Get("LogFiles", "ExtractLogFileName").value_or("");
    std::string name = s.Get("Package", "Name").value_or("");
    if (!logName.empty()) {
        if (std::string why = CheckWindowsName(logName); !why.empty())
            out.push_back({false, "[LogFiles] ExtractLogFileName " + why + "; the extraction log cannot be written"});
    } else if (!name.empty()) {
        if (std::string why = CheckWindowsName(name); !why.empty() || name.find('/') != std::string::npos)
            out.push_back({false, "[Package] Name " + (why.empty() ? "'" + name + "' holds a folder part" : why) +
                                      "; the extraction log, named after it, falls back to another name"});
    }
    for (const char* section : {"LicenseFiles", "SecurityLicenseFiles"}) {
        for (const auto& [key, value] : s.Keys(section)) {
            if (value.empty() || EndsWithNoCase(value, ".txt") || EndsWithNoCase(value, ".rtf")) continue;
            out.push_back({false, std::string("[") + section + "] " + key + " names " + value +
                                      ", which is neither .txt nor .rtf; the stub shows no license for it"});
        }
    }
}

void CheckMessageKeys(const SettingsText& s, const std::vector<std::pair<std::string, std::string>>& keys,
                      std::vector<Finding>& out) {
    std::vector<std::string> languages;
    for (const SettingsLine& l : s.Lines())
        if (l.kind == SettingsLine::kSection && AllDigits(l.section)) languages.push_back(l.section);
    for (const auto& [where, key] : keys) {
        bool found = std::any_of(languages.begin(), languages.end(),
                                 [&](const std::string& lang) { return s.IsSet(lang, key); });
        if (!found)
            out.push_back({false, where + " names the message " + key +
                                      ", which no language section ([1033], ...) gives a text"});
    }
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);  // two letters swapped
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::string NearestName(const std::string& name, const std::vector<std::string>& known) {
    if (name.size() > 64) return {};
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& k : known) {
        size_t d = EditDistance(ToLowerAscii(name), ToLowerAscii(k));
        if (d < bestDistance && d * 3 <= std::max(name.size(), k.size())) {
            best = k;
            bestDistance = d;
        }
    }
    return best;
}

void CheckSettings(const SettingsText& settings, std::vector<Finding>& findings) {
    std::vector<std::pair<std::string, std::string>> messageKeys;
    CheckStructure(settings, findings);
    CheckConditions(settings, findings, messageKeys);
    CheckLaunches(settings, findings, messageKeys);
    CheckOsAllowed(settings, findings);
    CheckNames(settings, findings);
    CheckMessageKeys(settings, messageKeys, findings);
}

}  // namespace zelpack
