// SPDX-License-Identifier: Apache-2.0
#include "tarnix/options.h"

#include "tarnix/console.h"

namespace tarnix {

namespace {

// One pair of double quotes around the whole text is removed; shells on the
// units' home platform pass them through.
std::string withoutQuotes(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

char lowerLetter(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Applies one option; false when it asks for the usage text.
bool applyOption(Settings& settings, char letter, std::string_view value) {
    switch (lowerLetter(letter)) {
        case 'v':
            ++settings.verbose;
            break;
        case 's':
            settings.setFromIni = true;
            break;
        case 'c':
            settings.commit = true;
            break;
        case 'r':
            settings.restart = true;
            break;
        case 'f':
            settings.iniFile = value;
            break;
        case 'i':
            settings.setText = value;
            break;
        case 'g':
            settings.getText = value;
            break;
        case 'l':
            settings.literal = withoutQuotes(value);
            break;
        case '?':
            return false;
        default:
            break;  // unknown letters are ignored
    }
    return true;
}

}  // namespace

Settings parseArguments(std::span<const std::string_view> args) {
    Settings settings;
    for (std::string_view arg : args) {
        if (!arg.empty() && (arg[0] == '-' || arg[0] == '/')) {
            char letter = arg.size() > 1 ? arg[1] : '\0';
            std::string_view value = arg.size() > 2 ? arg.substr(2) : std::string_view{};
            if (!applyOption(settings, letter, value)) {
                settings.showUsage = true;
                break;
            }
        } else {
            settings.target = arg;
        }
    }
    return settings;
}

void printUsage(std::FILE* stream) {
    static const char* const kLines[] = {
        "\n Version 6.20\n",
        "\nTarnix [options] [IPAddress]\n",
        "  -v verbose operation\n",
        "  -s set modes according to tarnix.ini\n",
        "  -c commit to permanent storage\n",
        "  -r restart unit when complete\n",
        "  -f specify an .ini file, e.g. -fNewModes.ini \n",
        "  -i set a single mode, e.g. -iUnitID=Wistrel5\n",
        "  -g get a single mode, e.g. -gUnitID\n",
        "  -l send literal text\n",
        "  IP address of unit obtained from tarnix.ini if not specified.\n",
        "\nDefault operation is to list the modes and values of the specified unit.\n\n",
    };
    for (const char* line : kLines) say(stream, "%s", line);
}

}  // namespace tarnix
