// Command lines read from a table: each program lists its options once, each
// number with its range, and every refusal comes back as one message in the
// caller's buffer, which the program prints before it exits with status 2.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// What a command line asks for.
enum OptionsStatus { OPTIONS_RUN, OPTIONS_HELP, OPTIONS_VERSION, OPTIONS_ERROR };

// What an option takes, and where its value goes in the program's record.
enum OptionKind {
    OPTION_FLAG,        // no value: sets a bool
    OPTION_TEXT,        // a text, e.g. a file name: sets a const char*
    OPTION_NUMBER,      // a whole number in the row's range: sets an int32_t
    OPTION_WIDE_NUMBER, // a whole number in the row's range: sets an int64_t
    OPTION_SIZE,        // "WxH", each side in its range: sets two int32_t
    OPTION_CUSTOM,      // a value the row's own routine reads
    OPTION_KIND_COUNT
};

// The smallest and largest value a number (or a side of a size) may take.
struct OptionRange {
    int64_t minimum;
    int64_t maximum;
};

struct OptionRow;

// One value being read: the row, its text (null when the command line ends
// before it), the option's place in argv, the program's record and where a
// refusal's message goes.
struct OptionCall {
    const OptionRow* row;
    const char* value;
    int32_t argument;
    void* record;
    char* error;
    size_t errorSize;
};

// Reads `call->value` into the record; false refuses it. A routine that
// leaves `call->error` empty gets the table's usual message.
typedef bool (*OptionReader)(const OptionCall* call);

// One option of a program's table.
struct OptionRow {
    const char* name;        // "--fps"; a name ending in '=' takes the rest of its argument as the value
    OptionKind kind;         // what it takes
    size_t field;            // offset of the field it sets in the program's record
    size_t secondField;      // OPTION_SIZE: offset of the height's field
    OptionRange range;       // numbers and sizes (a size's width): the values allowed
    OptionRange heightRange; // sizes: the height's values (the message quotes both sides where they differ)
    const char* rule;        // what a good value is, for messages: a format given the range's ends as texts
    OptionReader read;       // OPTION_CUSTOM: the routine that reads the value
};

// How a program words a refusal: formats given the option's name, the rule
// with its range filled in, and (refused only) the value given.
struct OptionWording {
    const char* refused; // "%s needs %s, not '%s'"
    const char* missing; // a checked value absent at the end of the command line: "%s needs %s"
};

// A program's command line: its options, its wording, and what it does with
// the arguments that are not options (a false with a message refuses one).
// Every program answers --help and -h; those with `version` --version too.
struct OptionTable {
    const OptionRow* rows;
    int32_t rowCount;
    const OptionWording* wording;
    bool (*operand)(const char* argument, void* record, char* error, size_t errorSize);
    bool version;
};

constexpr int EXIT_BAD_COMMAND_LINE = 2; // every program's exit status for a refused command line

// Rows, in the order of their fields; `field` and `secondField` are offsetof()s
// into the program's record.
constexpr OptionRow flagOption(const char* name, size_t field) {
    return {name, OPTION_FLAG, field, 0, {0, 0}, {0, 0}, nullptr, nullptr};
}
constexpr OptionRow textOption(const char* name, size_t field, const char* rule) {
    return {name, OPTION_TEXT, field, 0, {0, 0}, {0, 0}, rule, nullptr};
}
constexpr OptionRow numberOption(const char* name, size_t field, int64_t minimum, int64_t maximum) {
    return {name, OPTION_NUMBER, field, 0, {minimum, maximum}, {0, 0}, nullptr, nullptr};
}
constexpr OptionRow wideNumberOption(const char* name, size_t field, int64_t minimum, int64_t maximum) {
    return {name, OPTION_WIDE_NUMBER, field, 0, {minimum, maximum}, {0, 0}, nullptr, nullptr};
}
constexpr OptionRow sizeOption(const char* name, size_t width, size_t height, OptionRange widthRange,
                               OptionRange heightRange, const char* rule) {
    return {name, OPTION_SIZE, width, height, widthRange, heightRange, rule, nullptr};
}
constexpr OptionRow customOption(const char* name, OptionReader read, OptionRange range, const char* rule) {
    return {name, OPTION_CUSTOM, 0, 0, range, range, rule, read};
}

// Reads argv[1..argc-1] into `record`. --help, -h or --version anywhere
// before "--" wins; after "--" every argument is an operand. On
// OPTIONS_ERROR `error` says what was wrong.
OptionsStatus readCommandLine(int argc, const char* const* argv, const OptionTable* table, void* record, char* error,
                              size_t errorSize);

// Reads one value as `row` (of `table`) reads it, e.g. a number among the
// operands; false with the table's message when it is refused.
bool readOptionValue(const OptionTable* table, const OptionRow* row, const char* value, void* record, char* error,
                     size_t errorSize);

// Says on stderr that the command line is refused, as every program says it:
// "PROGRAM: MESSAGE" and the command that shows the usage. Returns
// EXIT_BAD_COMMAND_LINE for the caller to exit with.
int refuseCommandLine(const char* program, const char* helpCommand, const char* message);

// How a program answers a command line that does not run.
struct CommandLineAnswers {
    const char* program;           // "render_frames": names the program in messages
    const char* helpCommand;       // "render_frames --help": where a refusal points
    void (*printUsage)(FILE* out); // what --help prints
    const char* version;           // what --version prints ("render_frames 1.0.0"), or null
};

// Answers OPTIONS_HELP, OPTIONS_VERSION or OPTIONS_ERROR: the usage, the
// version or the refusal. Returns the exit status: 0, 1 when the standard
// output cannot be written, EXIT_BAD_COMMAND_LINE for a refusal.
int answerCommandLine(OptionsStatus status, const CommandLineAnswers* answers, const char* error);

// Flushes the standard output and checks that everything printed reached it
// (a full disk, /dev/full); otherwise says so on stderr as PROGRAM and
// returns false.
bool finishStandardOutput(const char* program);

// What a good value of `row` is, its range filled in: "a whole number from 1 to 240".
void optionRule(const OptionRow* row, char* text, size_t size);

// Where a row's field lies in the record.
template <typename T> T* optionField(const OptionCall* call, size_t offset) {
    return reinterpret_cast<T*>(static_cast<char*>(call->record) + offset);
}
