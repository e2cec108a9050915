// SPDX-License-Identifier: Apache-2.0
#include "unitsim/modefile.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "protocol/text.h"

namespace unitsim {

namespace {

constexpr int kMaxStringSize = 4096;

ModeDef mode(const char* name, const char* type, int size, bool readOnly, const char* value,
             const char* help) {
    return ModeDef{name, type, size, help, value, readOnly};
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && protocol::isWhite(text.front())) text.remove_prefix(1);
    return protocol::trimRight(text);
}

// Splits at runs of blanks.
std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) ++i;
        std::size_t start = i;
        while (i < text.size() && !isBlank(text[i])) ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

bool fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

// "TYPE" or "TYPE,SIZE" into the mode; false with why in `error` when it is
// not usable.
bool parseType(std::string_view word, ModeDef& def, std::string& error) {
    std::size_t comma = word.find(',');
    def.type = std::string(word.substr(0, comma));
    if (def.type.empty())
        return fail(error, "missing type");
    for (char c : def.type) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return fail(error,
                        "type '" + def.type + "' has a character other than letters, digits and _");
    }
    bool isString = protocol::equalsIgnoreCase(def.type, "STRING");
    if (comma == std::string_view::npos) {
        return isString ? fail(error, "STRING needs a size, e.g. STRING,16") : true;
    }
    if (!isString)
        return fail(error, "only STRING takes a size");
    std::string_view digits = word.substr(comma + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return fail(error, "size '" + std::string(digits) + "' is not a number");
    }
    def.size = std::stoi(std::string(digits));
    if (def.size < 1 || def.size > kMaxStringSize)
        return fail(error, "size must be 1 to " + std::to_string(kMaxStringSize));
    return true;
}

// Value and help from the text after "=": the help starts at a "#" that
// begins the text or follows a blank.
void parseValueAndHelp(std::string_view right, ModeDef& def) {
    right = trimmed(right);
    std::size_t hash = right.empty() || right.front() != '#' ? std::string_view::npos : 0;
    for (std::size_t i = 1; hash == std::string_view::npos && i < right.size(); ++i) {
        if (right[i] == '#' && isBlank(right[i - 1]))
            hash = i;
    }
    if (hash == std::string_view::npos) {
        def.value = std::string(right);
        return;
    }
    def.value = std::string(trimmed(right.substr(0, hash)));
    def.help = std::string(trimmed(right.substr(hash + 1)));
}

// One mode line; false with why in `error` when malformed.
bool parseLine(std::string_view line, ModeDef& def, std::string& error) {
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return fail(error, "expected 'Name TYPE[,size] [ro] = value'");
    std::vector<std::string_view> left = words(line.substr(0, equals));
    if (left.size() < 2)
        return fail(error, "expected a name and a type before '='");
    if (left.size() > 3)
        return fail(error, "too many words before '=' (only 'ro' may follow the type)");
    def.name = std::string(left[0]);
    if (!parseType(left[1], def, error))
        return false;
    if (left.size() == 3) {
        if (!protocol::equalsIgnoreCase(left[2], "ro"))
            return fail(error, "unknown flag '" + std::string(left[2]) + "' (only 'ro' is known)");
        def.readOnly = true;
    }
    parseValueAndHelp(line.substr(equals + 1), def);
    if (def.value.find('\t') != std::string::npos)
        return fail(error, "a value may not hold a tab");
    if (def.size > 0 && def.value.size() > static_cast<std::size_t>(def.size)) {
        return fail(error, "value has " + std::to_string(def.value.size()) +
                               " characters, more than size " + std::to_string(def.size));
    }
    return true;
}

}  // namespace

const char* const kModeFileHelp =
    "Mode file: one mode per line; blank lines and lines starting with # are skipped.\n"
    "  Name TYPE[,size] [ro] = value   # help text\n"
    "  Name   no blanks; compared ignoring case, must be unique\n"
    "  TYPE   any word (STRING, BOOLEAN, INTEGER, ...); STRING needs ,size (1-4096),\n"
    "         the most characters a value may hold\n"
    "  ro     the mode is read-only: sets of it are refused\n"
    "  value  everything after '=' up to a '#' that follows a blank, blanks trimmed;\n"
    "         may be empty; no tabs\n"
    "  help   the text after that '#' (sent while ForceHelpText is TRUE)\n"
    "  e.g.   UnitID STRING,16 = UNIT0001  # name the unit reports to its host\n"
    "         ProductName STRING,32 ro = DT-500 Data Terminal\n"
    "  `unitsim --print-modes` prints the built-in table in this format.\n";

std::vector<ModeDef> defaultModes() {
    return {
        mode("UnitID", "STRING", 16, false, "UNIT0001", "Name the unit reports to its host"),
        mode("UnitStatus", "STRING", 32, true, "OK", "Health of the unit"),
        mode("ProductName", "STRING", 32, true, "DT-500 Data Terminal", "Product name"),
        mode("buildInfo", "STRING", 64, true, "6.20 build 1207", "Firmware version and build"),
        mode("SerialNumber", "STRING", 16, true, "SN04471123", "Serial number"),
        mode("MACAddress", "STRING", 17, true, "00:50:C2:1A:2B:3C", "Ethernet address"),
        mode("IPAddress", "STRING", 15, false, "10.0.0.227", "Unit's own IP address"),
        mode("SubnetMask", "STRING", 15, false, "255.255.255.0", "Subnet mask"),
        mode("Gateway", "STRING", 15, false, "10.0.0.1", "Default gateway"),
        mode("DHCP", "BOOLEAN", 0, false, "FALSE", "Take the address from a DHCP server"),
        mode("HostIP", "STRING", 15, false, "10.0.0.10", "Host server to send scans to"),
        mode("HostPort", "INTEGER", 0, false, "1283", "Host server's TCP port"),
        mode("ServerType", "STRING", 8, false, "NOMINAL", "Host message form: NOMINAL or TRIVIAL"),
        mode("POSTimeout", "INTEGER", 0, false, "10", "Seconds a host answer stays shown"),
        mode("TextReset", "STRING", 64, false, "Please scan an item", "Idle display text"),
        mode("DateTime", "STRING", 19, false, "2026-01-01 00:00:00", "Unit clock"),
        mode("forceResponse", "BOOLEAN", 0, false, "FALSE", "Answer every set line"),
        mode("forceError", "BOOLEAN", 0, false, "FALSE", "Refuse bad lines with an error report"),
        mode("forceHelpText", "BOOLEAN", 0, false, "FALSE", "Send help texts with definitions"),
        mode("Commit", "BOOLEAN", 0, false, "FALSE", "TRUE stores the modes permanently"),
        mode("Restart", "BOOLEAN", 0, false, "FALSE", "TRUE restarts the unit"),
        mode("BarcodePrefix", "STRING", 8, false, "", "Text sent ahead of every barcode"),
        mode("ScannerEnabled", "BOOLEAN", 0, false, "TRUE", "Barcode scanner on"),
        mode("MSREnabled", "BOOLEAN", 0, false, "TRUE", "Magnetic-stripe reader on"),
        mode("TouchEnabled", "BOOLEAN", 0, false, "TRUE", "Touch screen events on"),
        mode("KeypadEnabled", "BOOLEAN", 0, false, "TRUE", "Keypad events on"),
        mode("Backlight", "INTEGER", 0, false, "80", "Display backlight, percent"),
        mode("Contrast", "INTEGER", 0, false, "50", "Display contrast, percent"),
        mode("BeepVolume", "INTEGER", 0, false, "3", "Beeper volume 0 to 5"),
        mode("ScreenSaverDelay", "INTEGER", 0, false, "300", "Seconds idle before dimming"),
        mode("DisplayFont", "STRING", 16, false, "Standard", "Display font"),
        mode("Language", "STRING", 8, false, "EN", "Language of built-in texts"),
        mode("PrinterEnabled", "BOOLEAN", 0, false, "FALSE", "Receipt printer fitted"),
        mode("KeepAliveInterval", "INTEGER", 0, false, "30", "Seconds between keep-alives"),
        mode("ConnectTimeout", "INTEGER", 0, false, "5", "Seconds to wait for the host"),
        mode("RegisterOnBoot", "BOOLEAN", 0, false, "TRUE", "Send a registration at start"),
        mode("Port2Settings", "STRING", 32, false, "9600,8,N,1,NONE", "Serial port 2 settings"),
    };
}

int findModeDef(const std::vector<ModeDef>& modes, std::string_view name) {
    for (std::size_t i = 0; i < modes.size(); ++i) {
        if (protocol::equalsIgnoreCase(modes[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::vector<ModeDef>> parseModeText(std::string_view text, std::string& error) {
    std::vector<ModeDef> modes;
    int number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        std::string_view content = trimmed(line);
        if (content.empty() || content.front() == '#')
            continue;
        ModeDef def;
        std::string why;
        bool sound = parseLine(content, def, why);
        if (sound && findModeDef(modes, def.name) >= 0) {
            why = "mode " + def.name + " twice";
            sound = false;
        }
        if (!sound) {
            error = "line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        }
        modes.push_back(std::move(def));
    }
    return modes;
}

std::optional<std::vector<ModeDef>> loadModeFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = path + ": cannot read";
        return std::nullopt;
    }
    auto modes = parseModeText(content.str(), error);
    if (!modes)
        error = path + ": " + error;
    return modes;
}

std::string formatModeText(const std::vector<ModeDef>& modes) {
    std::string out;
    for (const ModeDef& def : modes) {
        std::string type = def.type;
        if (def.size > 0)
            type += "," + std::to_string(def.size);
        out += def.name + " " + type + (def.readOnly ? " ro" : "") + " = " + def.value;
        if (!def.help.empty())
            out += "  # " + def.help;
        out += "\n";
    }
    return out;
}

}  // namespace unitsim
