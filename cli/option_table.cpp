// Command lines read from a table of options.
#include "cli/option_table.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include "cli/number_arg.h"

namespace {

constexpr size_t RULE_CHARS = 160;
constexpr size_t LIMIT_CHARS = 48;
const char* const NUMBER_RULE = "a whole number from %s to %s";

bool readFlag(const OptionCall* call) {
    *optionField<bool>(call, call->row->field) = true;
    return true;
}

bool readText(const OptionCall* call) {
    if (call->value == nullptr) {
        return false;
    }
    *optionField<const char*>(call, call->row->field) = call->value;
    return true;
}

bool readWholeNumber(const OptionCall* call) {
    int64_t number = 0;
    if (!readNumber(call->value, call->row->range.minimum, call->row->range.maximum, &number)) {
        return false;
    }
    *optionField<int32_t>(call, call->row->field) = (int32_t)number;
    return true;
}

bool readWideNumber(const OptionCall* call) {
    return readNumber(call->value, call->row->range.minimum, call->row->range.maximum,
                      optionField<int64_t>(call, call->row->field));
}

bool readSizeValue(const OptionCall* call) {
    const OptionRow* row = call->row;
    return readSize(call->value, (int32_t)row->range.minimum, (int32_t)row->range.maximum,
                    (int32_t)row->heightRange.minimum, (int32_t)row->heightRange.maximum,
                    optionField<int32_t>(call, row->field), optionField<int32_t>(call, row->secondField));
}

bool readCustom(const OptionCall* call) {
    return call->row->read(call);
}

const OptionReader OPTION_READERS[] = {
    readFlag,        // OPTION_FLAG
    readText,        // OPTION_TEXT
    readWholeNumber, // OPTION_NUMBER
    readWideNumber,  // OPTION_WIDE_NUMBER
    readSizeValue,   // OPTION_SIZE
    readCustom,      // OPTION_CUSTOM
};
static_assert(sizeof OPTION_READERS / sizeof OPTION_READERS[0] == OPTION_KIND_COUNT, "a reader for each kind");

// The row whose name `arg` is, or, for a name ending in '=', begins with;
// `*joined` then points after the '='.
const OptionRow* findRow(const OptionTable* table, const char* arg, const char** joined) {
    *joined = nullptr;
    for (int32_t r = 0; r < table->rowCount; r++) {
        const OptionRow* row = &table->rows[r];
        size_t length = strlen(row->name);
        bool takesJoined = length > 0 && row->name[length - 1] == '=';
        if (takesJoined && strncmp(arg, row->name, length) == 0) {
            *joined = arg + length;
            return row;
        }
        if (!takesJoined && strcmp(arg, row->name) == 0) {
            return row;
        }
    }
    return nullptr;
}

// One end of a range as the rule quotes it: a size's both sides where they
// differ ("320x200"), else the number alone.
void limitText(const OptionRow* row, bool upper, char* text, size_t size) {
    long long width = upper ? row->range.maximum : row->range.minimum;
    long long height = upper ? row->heightRange.maximum : row->heightRange.minimum;
    bool sidesDiffer = row->heightRange.maximum != 0 && (row->range.minimum != row->heightRange.minimum ||
                                                         row->range.maximum != row->heightRange.maximum);
    if (sidesDiffer) {
        snprintf(text, size, "%lldx%lld", width, height);
    } else {
        snprintf(text, size, "%lld", width);
    }
}

} // namespace

void optionRule(const OptionRow* row, char* text, size_t size) {
    char lowest[LIMIT_CHARS];
    char highest[LIMIT_CHARS];
    limitText(row, false, lowest, sizeof lowest);
    limitText(row, true, highest, sizeof highest);
    snprintf(text, size, row->rule != nullptr ? row->rule : NUMBER_RULE, lowest, highest);
}

namespace {

// The table's message for a refused (or, with a null value, absent) value of `row`.
void refuseOption(const OptionTable* table, const OptionRow* row, const char* value, char* error, size_t errorSize) {
    char rule[RULE_CHARS];
    optionRule(row, rule, sizeof rule);
    if (row->kind == OPTION_TEXT) {
        snprintf(error, errorSize, "%s needs %s", row->name, rule);
    } else if (value == nullptr) {
        snprintf(error, errorSize, table->wording->missing, row->name, rule);
    } else {
        snprintf(error, errorSize, table->wording->refused, row->name, rule, value);
    }
}

// Reads the call's value by its row's kind; a refusal without its own
// message gets the table's.
bool applyRow(const OptionTable* table, const OptionCall* call) {
    call->error[0] = '\0';
    if (OPTION_READERS[call->row->kind](call)) {
        return true;
    }
    if (call->error[0] == '\0') {
        refuseOption(table, call->row, call->value, call->error, call->errorSize);
    }
    return false;
}

} // namespace

int refuseCommandLine(const char* program, const char* helpCommand, const char* message) {
    fprintf(stderr, "%s: %s\nTry '%s'.\n", program, message, helpCommand);
    return EXIT_BAD_COMMAND_LINE;
}

int answerCommandLine(OptionsStatus status, const CommandLineAnswers* answers, const char* error) {
    if (status == OPTIONS_ERROR) {
        return refuseCommandLine(answers->program, answers->helpCommand, error);
    }
    if (status == OPTIONS_VERSION && answers->version != nullptr) {
        printf("%s\n", answers->version);
    } else {
        answers->printUsage(stdout);
    }
    return finishStandardOutput(answers->program) ? 0 : 1;
}

bool finishStandardOutput(const char* program) {
    errno = 0;
    if (fflush(stdout) == 0 && ferror(stdout) == 0) {
        return true;
    }
    int error = errno != 0 ? errno : EIO;
    fprintf(stderr, "%s: cannot write the standard output: %s\n", program, strerror(error));
    return false;
}

bool readOptionValue(const OptionTable* table, const OptionRow* row, const char* value, void* record, char* error,
                     size_t errorSize) {
    OptionCall call = {row, value, 0, record, error, errorSize};
    return applyRow(table, &call);
}

OptionsStatus readCommandLine(int argc, const char* const* argv, const OptionTable* table, void* record, char* error,
                              size_t errorSize) {
    error[0] = '\0';
    for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            return OPTIONS_HELP;
        }
        if (table->version && strcmp(argv[i], "--version") == 0) {
            return OPTIONS_VERSION;
        }
    }

    bool optionsEnded = false; // after "--" every argument is an operand
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (!optionsEnded && strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
            if (!table->operand(arg, record, error, errorSize)) {
                return OPTIONS_ERROR;
            }
            continue;
        }
        const char* joined = nullptr;
        const OptionRow* row = findRow(table, arg, &joined);
        if (row == nullptr) {
            snprintf(error, errorSize, "unknown option %s", arg);
            return OPTIONS_ERROR;
        }
        OptionCall call = {row, nullptr, i, record, error, errorSize};
        if (joined != nullptr) {
            call.value = joined[0] != '\0' ? joined : nullptr;
        } else if (row->kind != OPTION_FLAG && i + 1 < argc) {
            call.value = argv[++i];
        }
        if (!applyRow(table, &call)) {
            return OPTIONS_ERROR;
        }
    }
    return OPTIONS_RUN;
}
