#include "cli/usage.h"

namespace mixmidi {

namespace {

// Everything after the first line. The text messages, -d1 and -d2, are left
// out on purpose.
constexpr std::string_view usage_body = "where filename is the name of the .mid file to create.\n"
                                        "where chan may be 1-16 or all\n"
                                        "Option List:\n"
                                        "-vol [volume level]\n"
                                        "\tvolume level may be 0 to 127\n"
                                        "-bal [balance]\n"
                                        "\tbalance may be 1(full left) to 64(center) to 127(full right)\n"
                                        "-pan [pan]\n"
                                        "\tpan may be 1(full left) to 64(center) to 127(full right)\n"
                                        "-exp [expression level]\n"
                                        "\texpression level may be 0 to 127\n"
                                        "-fx1 [effects 1 level]\n"
                                        "\teffects 1 level may be 0 to 127\n"
                                        "-fx2 [effects 2 level]\n"
                                        "\teffects 2 level may be 0 to 127\n"
                                        "-fx1p [effects 1 position]\n"
                                        "\teffects 1 position may be pre or post (before or after main volume fader)\n"
                                        "-fx2p [effects 2 position]\n"
                                        "\teffects 2 position may be pre or post (before or after main volume fader)\n"
                                        "-fx1m [effects 1 muted]\n"
                                        "\teffects 1 mute may be true or false\n"
                                        "-fx2m [effects 2 muted]\n"
                                        "\teffects 2 mute may be true or false\n"
                                        "-withfx [this channel supports FX sends?]\n"
                                        "\twithfx may be true or false\n"
                                        "-master [master volume level]\n"
                                        "\tmaster volume level may be 0 to 127\n"
                                        "-setflags [flags]\n"
                                        "\twhere flags may be 0 to 63\n"
                                        "-sendmix 0\n"
                                        "\tBrisvane will send current settings out MIDI port\n"
                                        "-reset 0\n"
                                        "\twill reset the entire board to power-up condition (Load Bank 0)\n"
                                        "-load [bank]\n"
                                        "\tbank may be 0 to 63\n"
                                        "-save [bank]\n"
                                        "\tbank may be 0 to 63\n"
                                        "-save option, if used, should always be the last option in the line\n";

// What --help adds after the usage text: what that text does not list.
constexpr std::string_view help_more = "\n"
                                       "Also:\n"
                                       "-chan [chan]\n"
                                       "\tthe options after it go to chan (1-16 or all), until the next -chan\n"
                                       "-d1 [text], -d2 [text]\n"
                                       "\tsend text to the board in a system-exclusive message\n"
                                       "filename may be - to write the file to standard output\n"
                                       "\t(the messages then go to standard error)\n"
                                       "%s --show FILE...\n"
                                       "\tlist what each file does to the board, and the command that rebuilds it\n"
                                       "%s --help | --version\n"
                                       "Exit status: 0 written; 1 usage or a bad channel, nothing written;\n"
                                       "2 the file could not be written, or standard output was lost;\n"
                                       "3 written, but an option or setting was skipped\n";

}  // namespace

void print_help(TextOut& out, std::string_view invocation_name)
{
    print_usage(out, invocation_name);
    std::string_view rest = help_more;
    for (auto mark = rest.find("%s"); mark != std::string_view::npos; mark = rest.find("%s")) {
        out.put(rest.substr(0, mark));
        out.put(invocation_name);
        rest.remove_prefix(mark + 2);
    }
    out.put(rest);
}

void print_usage(TextOut& out, std::string_view invocation_name)
{
    out.put("Usage: ");
    out.put(invocation_name);
    out.put(" filename chan option option...\n");
    out.put(usage_body);
}

}  // namespace mixmidi
