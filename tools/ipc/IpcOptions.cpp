#include "IpcOptions.h"

#include "IpcBlock.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

bool parseWord(const std::string &text, int32_t &value)
{
    const char *end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value);
    return !text.empty() && problem == std::errc() && stop == end;
}

bool parseSeconds(const std::string &text, std::chrono::milliseconds &timeout)
{
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0 || value > 86400.0 * 7)
        return false;
    timeout = std::chrono::milliseconds(static_cast<int64_t>(std::llround(value * 1000.0)));
    return true;
}

struct CommandShape {
    const char *name;
    IpcCommand code;
    int arguments;  // 0, or 1: a position (tv, av) or a text (set-dir, comment)
    bool textArgument;
};

constexpr CommandShape kCommands[] = {
    {"state", IpcCommand::ReportState, 0, false},
    {"release", IpcCommand::Release, 0, false},
    {"tv", IpcCommand::SetShutterSpeed, 1, false},
    {"av", IpcCommand::SetAperture, 1, false},
    {"dir", IpcCommand::ReportImageDirectory, 0, false},
    {"set-dir", IpcCommand::SetImageDirectory, 1, true},
    {"comment", IpcCommand::SetComment, 1, true},
    {"watch", IpcCommand::ReportState, 0, false},
};

}  // namespace

bool parseIpcOptions(int argc, const char *const *argv, IpcOptions &options, std::string &error)
{
    int i = 0;
    for (; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!argument.starts_with("-"))
            break;
        std::string name = argument;
        std::string value;
        bool hasValue = false;
        if (const size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        if (name == "-h" || name == "--help") {
            options.help = true;
            return true;
        }
        if (name == "-q" || name == "--quiet") {
            options.quiet = true;
        } else if (name == "--timeout") {
            if (!takeValue())
                return false;
            if (!parseSeconds(value, options.timeout)) {
                error = "--timeout takes seconds (0 waits for ever), not " + value;
                return false;
            }
        } else if (name == "--socket") {
            if (!takeValue())
                return false;
            options.socketPath = value;
        } else if (name == "--block") {
            if (!takeValue())
                return false;
            options.blockName = value;
        } else {
            error = "unknown option " + argument;
            return false;
        }
    }
    if (i >= argc) {
        error = "no command given";
        return false;
    }
    options.command = argv[i++];
    const int rest = argc - i;

    if (options.command == "raw") {
        if (rest < 1 || rest > 3) {
            error = "raw takes CMD [PARAM [TEXT]]";
            return false;
        }
        if (!parseWord(argv[i], options.code) || (rest >= 2 && !parseWord(argv[i + 1], options.parameter))) {
            error = "raw takes whole numbers for CMD and PARAM";
            return false;
        }
        if (rest == 3)
            options.text = argv[i + 2];
    } else {
        const CommandShape *shape = nullptr;
        for (const CommandShape &candidate : kCommands) {
            if (options.command == candidate.name)
                shape = &candidate;
        }
        if (!shape) {
            error = "unknown command " + options.command;
            return false;
        }
        if (rest != shape->arguments) {
            error = options.command + (shape->arguments == 0 ? " takes no arguments" : " takes one argument");
            return false;
        }
        options.code = static_cast<int32_t>(shape->code);
        if (shape->arguments == 1 && !shape->textArgument && !parseWord(argv[i], options.parameter)) {
            error = options.command + " takes a list position (0 is the first entry), not " + argv[i];
            return false;
        }
        if (shape->textArgument)
            options.text = argv[i];
        // Quillomat resolves nothing against its own working directory.
        if (options.command == "set-dir" && !options.text.empty() && options.text.front() != '/') {
            std::error_code problem;
            const std::filesystem::path absolute = std::filesystem::absolute(options.text, problem);
            if (problem) {
                error = "cannot make " + options.text + " an absolute path: " + problem.message();
                return false;
            }
            options.text = absolute.string();
        }
    }
    if (options.text.size() > IpcBlock::kMaxText) {
        error = "the text is longer than the block's " + std::to_string(IpcBlock::kMaxText) + " bytes";
        return false;
    }
    return true;
}

const char *ipcUsageText()
{
    return "Usage: quillomat-ipc [OPTIONS] COMMAND [ARGUMENTS]\n"
           "Drives the Quillomat of this user through its IPC channel.\n"
           "\n"
           "Commands:\n"
           "  state            the camera's state and model\n"
           "  release          take a photo and print the saved file's path\n"
           "  tv POS           set the shutter speed to entry POS of the Tv list (0 is the first)\n"
           "  av POS           set the aperture to entry POS of the Av list\n"
           "  dir              the directory images are saved in now\n"
           "  set-dir PATH     save images under PATH (created when missing)\n"
           "  comment TEXT     the comment written into the next images (at most 255 bytes)\n"
           "  watch            print the transfer progress and every saved file until interrupted\n"
           "  raw CMD [PARAM [TEXT]]  send command code CMD as it is\n"
           "\n"
           "Options:\n"
           "  -q, --quiet      print only the answer's text (the path, the model, the directory)\n"
           "  --timeout SECS   wait at most this long for each answer and for the photo (default 60, 0: no limit)\n"
           "  --socket PATH    the socket of another channel (default $XDG_RUNTIME_DIR/Quillomat.ipc)\n"
           "  --block NAME     the shared memory of another channel (default /Quillomat-<uid>)\n"
           "  -h, --help       this text\n"
           "\n"
           "Exit status: 0 success, 1 Quillomat refused, 2 bad command line,\n"
           "3 no Quillomat listening, 4 no answer in time.\n";
}
