// The scene format's reader: a TOML file (read by toml++) checked key by
// key into a SceneDesign, every fault named with its file and line.
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <toml++/toml.h>

#include "analysis/analysis.h"
#include "files/os_files.h"
#include "raytracer/scene.h"
#include "scenes/scene_design.h"
#include "scenes/scene_textures.h"

const char* const driverNames[DRIVER_COUNT] = {
    "sin",      // DRIVER_SINE
    "cos",      // DRIVER_COSINE
    "band",     // DRIVER_BAND
    "beat",     // DRIVER_BEAT
    "loudness", // DRIVER_LOUDNESS
    "waveform", // DRIVER_WAVEFORM
};
static_assert(sizeof(driverNames) / sizeof(driverNames[0]) == DRIVER_COUNT, "one name per driver");

const char* const textureKindNames[TEXTURE_KIND_COUNT] = {
    "checker",  // TEXTURE_CHECKER
    "stripes",  // TEXTURE_STRIPES
    "rings",    // TEXTURE_RINGS
    "noise",    // TEXTURE_NOISE
    "gradient", // TEXTURE_GRADIENT
    "image",    // TEXTURE_IMAGE
    "cover",    // TEXTURE_COVER
};
static_assert(sizeof(textureKindNames) / sizeof(textureKindNames[0]) == TEXTURE_KIND_COUNT, "one name per kind");

static const char* const kindNames[KIND_COUNT] = {
    "floor",         // KIND_FLOOR
    "sphere",        // KIND_SPHERE
    "tube",          // KIND_TUBE
    "parallelogram", // KIND_PARALLELOGRAM
};

static const struct {
    const char* name;
    uint8_t flag;
} flagNames[] = {
    {"lit", SHADE_LIT},         {"shadowed", SHADE_SHADOWED}, {"mirror", SHADE_MIRROR},
    {"refract", SHADE_REFRACT}, {"inside", SHADE_INSIDE},
};

constexpr float MAX_COORDINATE = 100000.0f; // positions, sizes, amplitudes and bases
constexpr float MAX_RATE = 10000.0f;        // rates and phases
constexpr int32_t MAX_VECTOR_FIELDS = 3;

// A named float or vector of a record: its first float and how many.
struct FieldName {
    const char* name;
    uint8_t field;
    uint8_t width; // 1 or 3
};

// The given fields of each record kind, of the camera and of the light.
static const FieldName floorFields[] = {{"offset", 1, 1}};
static const FieldName sphereFields[] = {{"center", 0, 3}, {"radius", 3, 1}};
static const FieldName tubeFields[] = {{"start", 0, 3}, {"end", 3, 3}, {"radius", 6, 1}};
static const FieldName parallelogramFields[] = {{"corner", 0, 3}, {"edge_u", 3, 3}, {"edge_v", 6, 3}};
static const FieldName cameraFields[] = {{"eye", 0, 3}, {"target", 3, 3}, {"zoom", 6, 1}, {"roll", 7, 1}};
static const FieldName lightFields[] = {{"position", 0, 3}};

struct FieldList {
    const FieldName* fields;
    int32_t count;
};
static const FieldList kindFields[KIND_COUNT] = {
    {floorFields, 1},         // KIND_FLOOR
    {sphereFields, 2},        // KIND_SPHERE
    {tubeFields, 3},          // KIND_TUBE
    {parallelogramFields, 3}, // KIND_PARALLELOGRAM
};
static const FieldList cameraFieldList = {cameraFields, 4};
static const FieldList lightFieldList = {lightFields, 1};

// Where the reading stands: the file's name for messages, the first fault.
struct Reader {
    const char* fileName;
    char* error;
    size_t errorSize;
    SceneDesign* design;
    int32_t pendingChannel[MAX_MOTION_TERMS]; // each term's channel, in the order written
};

static bool fail(Reader* reader, int64_t line, const char* format, ...) {
    int written = std::snprintf(reader->error, reader->errorSize, "%s:%lld: ", reader->fileName,
                                static_cast<long long>(line < 1 ? 1 : line));
    if (written > 0 && static_cast<size_t>(written) < reader->errorSize) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(reader->error + written, reader->errorSize - written, format, args);
        va_end(args);
    }
    return false;
}

static int64_t lineOf(const toml::node& node) {
    return static_cast<int64_t>(node.source().begin.line);
}

// Copies a key for a message, cut short and without control characters.
static void printable(const std::string_view& text, char* out, size_t size) {
    size_t n = 0;
    for (size_t i = 0; i < text.size() && n + 1 < size; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        out[n++] = c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
    out[n] = 0;
}

// Refuses any key of `table` not in `allowed`.
static bool onlyKeys(Reader* reader, const toml::table& table, const char* const* allowed, int32_t count,
                     const char* where) {
    for (auto&& [key, node] : table) {
        bool known = false;
        for (int32_t i = 0; i < count && !known; i++) {
            known = key.str() == allowed[i];
        }
        if (!known) {
            char name[64];
            printable(key.str(), name, sizeof(name));
            return fail(reader, lineOf(node), "unknown key '%s' in %s", name, where);
        }
    }
    return true;
}

static bool readNumber(Reader* reader, const toml::node& node, const char* what, float low, float high, float* out) {
    if (!node.is_number()) {
        return fail(reader, lineOf(node), "%s must be a number", what);
    }
    double value = node.is_integer() ? static_cast<double>(node.as_integer()->get()) : node.as_floating_point()->get();
    if (!std::isfinite(value) || value < low || value > high) {
        return fail(reader, lineOf(node), "%s must lie between %g and %g", what, low, high);
    }
    *out = static_cast<float>(value);
    return true;
}

static bool readInteger(Reader* reader, const toml::node& node, const char* what, int64_t low, int64_t high,
                        int64_t* out) {
    if (!node.is_integer()) {
        return fail(reader, lineOf(node), "%s must be a whole number", what);
    }
    int64_t value = node.as_integer()->get();
    if (value < low || value > high) {
        return fail(reader, lineOf(node), "%s must lie between %lld and %lld", what, static_cast<long long>(low),
                    static_cast<long long>(high));
    }
    *out = value;
    return true;
}

static bool readString(Reader* reader, const toml::node& node, const char* what, char* out, size_t size) {
    if (!node.is_string()) {
        return fail(reader, lineOf(node), "%s must be a string", what);
    }
    const std::string& text = node.as_string()->get();
    if (text.empty() || text.size() >= size) {
        return fail(reader, lineOf(node), "%s must be 1 to %zu characters", what, size - 1);
    }
    if (std::memchr(text.data(), 0, text.size()) != nullptr) {
        return fail(reader, lineOf(node), "%s must not hold a zero character", what);
    }
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = 0;
    return true;
}

// A name one may type on a command line: letters, digits, '-' and '_'.
static bool readName(Reader* reader, const toml::node& node, const char* what, char* out) {
    if (!readString(reader, node, what, out, MAX_SCENE_NAME)) {
        return false;
    }
    for (const char* c = out; *c; c++) {
        bool fits =
            (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '-' || *c == '_';
        if (!fits) {
            return fail(reader, lineOf(node), "%s may hold only letters, digits, '-' and '_'", what);
        }
    }
    return true;
}

// One field's value: a number, or an array of three numbers for a vector.
static bool readField(Reader* reader, const toml::node& node, const FieldName& field, float* record) {
    if (field.width == 1) {
        float low =
            std::strcmp(field.name, "radius") == 0 || std::strcmp(field.name, "zoom") == 0 ? 0.001f : -MAX_COORDINATE;
        return readNumber(reader, node, field.name, low, MAX_COORDINATE, &record[field.field]);
    }
    const toml::array* array = node.as_array();
    if (array == nullptr || array->size() != MAX_VECTOR_FIELDS) {
        return fail(reader, lineOf(node), "%s must be an array of three numbers [x, y, z]", field.name);
    }
    for (int32_t i = 0; i < MAX_VECTOR_FIELDS; i++) {
        if (!readNumber(reader, *array->get(i), field.name, -MAX_COORDINATE, MAX_COORDINATE,
                        &record[field.field + i])) {
            return false;
        }
    }
    return true;
}

// Finds "name" or "name.x" (.y, .z) among the fields: the float index.
static bool findProperty(const FieldList& list, const std::string& path, uint8_t* field) {
    for (int32_t i = 0; i < list.count; i++) {
        const FieldName& candidate = list.fields[i];
        size_t length = std::strlen(candidate.name);
        if (path.compare(0, length, candidate.name) != 0) {
            continue;
        }
        if (candidate.width == 1 && path.size() == length) {
            *field = candidate.field;
            return true;
        }
        if (candidate.width == 3 && path.size() == length + 2 && path[length] == '.' && path[length + 1] >= 'x' &&
            path[length + 1] <= 'z') {
            *field = static_cast<uint8_t>(candidate.field + (path[length + 1] - 'x'));
            return true;
        }
    }
    return false;
}

// The list of moves of one owner: each term added to its property's channel.
static bool readMoves(Reader* reader, const toml::node& node, uint8_t owner, const FieldList& fields,
                      const float* record) {
    static const char* const moveKeys[] = {"to", "by", "amp", "rate", "phase", "bias", "band"};
    SceneDesign* design = reader->design;
    const toml::array* moves = node.as_array();
    if (moves == nullptr) {
        return fail(reader, lineOf(node), "move must be an array of tables");
    }
    for (const toml::node& element : *moves) {
        const toml::table* move = element.as_table();
        if (move == nullptr) {
            return fail(reader, lineOf(element), "each move must be a table { to = ..., by = ... }");
        }
        int64_t line = lineOf(element);
        if (!onlyKeys(reader, *move, moveKeys, 7, "a move")) {
            return false;
        }
        const toml::node* to = move->get("to");
        const toml::node* by = move->get("by");
        if (to == nullptr || !to->is_string()) {
            return fail(reader, line, "a move needs 'to', the property it moves, as a string");
        }
        if (by == nullptr || !by->is_string()) {
            return fail(reader, line, "a move needs 'by', its driver, as a string");
        }
        uint8_t field = 0;
        if (!findProperty(fields, to->as_string()->get(), &field)) {
            char name[64];
            printable(to->as_string()->get(), name, sizeof(name));
            return fail(reader, lineOf(*to), "no property '%s' to move here", name);
        }
        MotionTerm term = {DRIVER_COUNT, 0, 1.0f, 1.0f, 0.0f, 0.0f};
        for (int32_t d = 0; d < DRIVER_COUNT; d++) {
            if (by->as_string()->get() == driverNames[d]) {
                term.driver = static_cast<uint8_t>(d);
            }
        }
        if (term.driver == DRIVER_COUNT) {
            return fail(reader, lineOf(*by), "unknown driver: 'by' is one of sin, cos, band, beat, loudness, waveform");
        }
        // The term's optional numbers, each with its range
        const struct {
            const char* key;
            float low, high;
            float* value;
        } numbers[] = {
            {"amp", -MAX_COORDINATE, MAX_COORDINATE, &term.amplitude},
            {"rate", -MAX_RATE, MAX_RATE, &term.rate},
            {"phase", -MAX_RATE, MAX_RATE, &term.phase},
            {"bias", -MAX_COORDINATE, MAX_COORDINATE, &term.bias},
        };
        for (const auto& number : numbers) {
            const toml::node* given = move->get(number.key);
            if (given != nullptr && !readNumber(reader, *given, number.key, number.low, number.high, number.value)) {
                return false;
            }
        }
        const toml::node* band = move->get("band");
        if ((band != nullptr) != (term.driver == DRIVER_BAND)) {
            return fail(reader, line, band ? "'band' goes only with by = \"band\"" : "by = \"band\" needs 'band'");
        }
        if (band != nullptr) {
            int64_t value = 0;
            if (!readInteger(reader, *band, "band", 0, BAND_COUNT - 1, &value)) {
                return false;
            }
            term.band = static_cast<uint8_t>(value);
        }

        // The property's channel, made at its first move
        int32_t channel = 0;
        while (channel < design->channelCount &&
               (design->channels[channel].owner != owner || design->channels[channel].field != field)) {
            channel++;
        }
        if (channel == design->channelCount) {
            if (design->channelCount == MAX_MOTION_CHANNELS) {
                return fail(reader, line, "too many moving properties (at most %d)", MAX_MOTION_CHANNELS);
            }
            design->channels[channel] = {owner, field, static_cast<int32_t>(line), record[field], 0, 0};
            design->channelCount++;
        }
        if (design->termCount == MAX_MOTION_TERMS) {
            return fail(reader, line, "too many moves (at most %d)", MAX_MOTION_TERMS);
        }
        reader->pendingChannel[design->termCount] = channel;
        design->terms[design->termCount++] = term;
        design->channels[channel].count++;
    }
    return true;
}

// Reads the fields of `list` (all required but those with defaults) and the moves.
static bool readOwner(Reader* reader, const toml::table& table, uint8_t owner, const FieldList& list, float* record,
                      bool fieldsOptional, const char* where) {
    for (int32_t i = 0; i < list.count; i++) {
        const toml::node* node = table.get(list.fields[i].name);
        if (node == nullptr) {
            if (fieldsOptional) {
                continue;
            }
            return fail(reader, lineOf(table), "%s needs '%s'", where, list.fields[i].name);
        }
        if (!readField(reader, *node, list.fields[i], record)) {
            return false;
        }
    }
    if (const toml::node* moves = table.get("move")) {
        return readMoves(reader, *moves, owner, list, record);
    }
    return true;
}

static bool readColour(Reader* reader, const toml::node& node, uint8_t* colour) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->size() != 3) {
        return fail(reader, lineOf(node), "a colour must be [red, green, blue], each 0..255");
    }
    for (int32_t i = 0; i < 3; i++) {
        int64_t value = 0;
        if (!readInteger(reader, *array->get(i), "a colour's part", 0, 255, &value)) {
            return false;
        }
        colour[i] = static_cast<uint8_t>(value);
    }
    return true;
}

// The folder of `fileName` joined to a relative `path`.
static bool joinPath(const char* fileName, const char* path, char* out, size_t size) {
    const char* folderEnd = fileNamePart(fileName);
    int written = isRootedPath(path)
                      ? std::snprintf(out, size, "%s", path)
                      : std::snprintf(out, size, "%.*s%s", static_cast<int>(folderEnd - fileName), fileName, path);
    return written > 0 && static_cast<size_t>(written) < size;
}

static bool readTexture(Reader* reader, const toml::table& table, TextureDesign* texture) {
    static const char* const textureKeys[] = {"name", "kind", "colours", "squares", "seed", "file"};
    static Texture scratch; // an image texture is read once to see that it can be
    int64_t line = lineOf(table);
    if (!onlyKeys(reader, table, textureKeys, 6, "a texture")) {
        return false;
    }
    const toml::node* name = table.get("name");
    const toml::node* kind = table.get("kind");
    if (name == nullptr || kind == nullptr) {
        return fail(reader, line, "a texture needs 'name' and 'kind'");
    }
    if (!readName(reader, *name, "a texture's name", texture->name)) {
        return false;
    }
    if (std::strcmp(texture->name, "black") == 0) {
        return fail(reader, lineOf(*name), "'black' is the name of the black texture, always there");
    }
    texture->kind = TEXTURE_KIND_COUNT;
    for (int32_t k = 0; k < TEXTURE_KIND_COUNT && kind->is_string(); k++) {
        if (kind->as_string()->get() == textureKindNames[k]) {
            texture->kind = static_cast<uint8_t>(k);
        }
    }
    if (texture->kind == TEXTURE_KIND_COUNT) {
        return fail(reader, lineOf(*kind),
                    "a texture's kind is one of checker, stripes, rings, noise, gradient, image, cover");
    }
    const uint8_t defaults[2][3] = {{255, 255, 255}, {0, 0, 0}};
    std::memcpy(texture->colours, defaults, sizeof(defaults));
    texture->squares = 8;
    if (const toml::node* colours = table.get("colours")) {
        const toml::array* array = colours->as_array();
        if (array == nullptr || array->size() != 2) {
            return fail(reader, lineOf(*colours), "colours must be two colours [[r, g, b], [r, g, b]]");
        }
        if (!readColour(reader, *array->get(0), texture->colours[0]) ||
            !readColour(reader, *array->get(1), texture->colours[1])) {
            return false;
        }
    }
    if (const toml::node* squares = table.get("squares")) {
        int64_t value = 0;
        if (!readInteger(reader, *squares, "squares", 1, 256, &value)) {
            return false;
        }
        texture->squares = static_cast<int32_t>(value);
    }
    if (const toml::node* seed = table.get("seed")) {
        int64_t value = 0;
        if (!readInteger(reader, *seed, "seed", 0, 0xFFFFFFFFll, &value)) {
            return false;
        }
        texture->seed = static_cast<uint32_t>(value);
    }
    const toml::node* file = table.get("file");
    if ((file != nullptr) != (texture->kind == TEXTURE_IMAGE)) {
        return fail(reader, line, file ? "'file' goes only with kind = \"image\"" : "kind = \"image\" needs 'file'");
    }
    if (file != nullptr) {
        char given[MAX_TEXTURE_PATH];
        char why[256];
        if (!readString(reader, *file, "file", given, sizeof(given))) {
            return false;
        }
        if (!joinPath(reader->fileName, given, texture->path, sizeof(texture->path))) {
            return fail(reader, lineOf(*file), "the texture's path is too long");
        }
        if (!readPpmTexture(texture->path, &scratch, why, sizeof(why))) {
            return fail(reader, lineOf(*file), "texture %s cannot be read: %s", texture->path, why);
        }
    }
    return true;
}

static bool readObject(Reader* reader, const toml::table& table, ObjectDesign* object, int32_t index) {
    SceneDesign* design = reader->design;
    int64_t line = lineOf(table);
    const toml::node* kind = table.get("kind");
    if (kind == nullptr) {
        return fail(reader, line, "an object needs 'kind': floor, sphere, tube or parallelogram");
    }
    object->kind = KIND_COUNT;
    for (int32_t k = 0; k < KIND_COUNT && kind->is_string(); k++) {
        if (kind->as_string()->get() == kindNames[k]) {
            object->kind = static_cast<uint8_t>(k);
        }
    }
    if (object->kind == KIND_COUNT) {
        return fail(reader, lineOf(*kind), "an object's kind is one of floor, sphere, tube, parallelogram");
    }
    if ((object->kind == KIND_FLOOR) != (index == 0)) {
        return fail(reader, lineOf(*kind),
                    index == 0 ? "the first object must be the floor" : "only the first object may be a floor");
    }
    const FieldList& fields = kindFields[object->kind];
    const char* allowed[4 + MAX_VECTOR_FIELDS] = {"kind", "flags", "texture", "move"};
    for (int32_t i = 0; i < fields.count; i++) {
        allowed[4 + i] = fields.fields[i].name;
    }
    char where[32];
    std::snprintf(where, sizeof(where), "a %s", kindNames[object->kind]);
    if (!onlyKeys(reader, table, allowed, 4 + fields.count, where)) {
        return false;
    }

    // Flags
    object->flags = 0;
    if (const toml::node* flags = table.get("flags")) {
        const toml::array* array = flags->as_array();
        if (array == nullptr) {
            return fail(reader, lineOf(*flags), "flags must be an array of strings");
        }
        for (const toml::node& flag : *array) {
            uint8_t bit = 0;
            for (const auto& entry : flagNames) {
                if (flag.is_string() && flag.as_string()->get() == entry.name) {
                    bit = entry.flag;
                }
            }
            if (bit == 0) {
                return fail(reader, lineOf(flag), "a flag is one of lit, shadowed, mirror, refract, inside");
            }
            object->flags |= bit;
        }
    }

    // Texture, by name
    object->texture = TEXTURE_BLACK;
    if (const toml::node* texture = table.get("texture")) {
        char name[MAX_SCENE_NAME];
        if (!readName(reader, *texture, "texture", name)) {
            return false;
        }
        if (std::strcmp(name, "black") != 0) {
            int32_t found = -1;
            for (int32_t t = 0; t < design->textureCount && found < 0; t++) {
                found = std::strcmp(design->textures[t].name, name) == 0 ? t : -1;
            }
            if (found < 0) {
                return fail(reader, lineOf(*texture), "no texture named '%s' (textures come before the objects)", name);
            }
            object->texture = static_cast<int8_t>(found);
        }
    }

    // The record, then the checks no single field can make
    std::memset(object->record, 0, sizeof(object->record));
    if (!readOwner(reader, table, static_cast<uint8_t>(index), kindFields[object->kind], object->record,
                   object->kind == KIND_FLOOR, where)) {
        return false;
    }
    const float* r = object->record;
    if (object->kind == KIND_TUBE && r[0] == r[3] && r[1] == r[4] && r[2] == r[5]) {
        return fail(reader, line, "a tube's start and end must differ");
    }
    if (object->kind == KIND_PARALLELOGRAM) {
        Vector3 e1 = {r[3] - r[0], r[4] - r[1], r[5] - r[2]};
        Vector3 e2 = {r[6] - r[0], r[7] - r[1], r[8] - r[2]};
        Vector3 normal;
        cross(normal, e1, e2);
        if (!(dot(normal, normal) > 1e-6f)) {
            return fail(reader, line, "a parallelogram's two edges must not lie along one line");
        }
    }
    return true;
}

// Lays every channel's terms out one after another, in the order written.
static void gatherTerms(Reader* reader) {
    static MotionTerm written[MAX_MOTION_TERMS];
    SceneDesign* design = reader->design;
    std::memcpy(written, design->terms, sizeof(MotionTerm) * design->termCount);
    int32_t next = 0;
    for (int32_t c = 0; c < design->channelCount; c++) {
        design->channels[c].first = next;
        for (int32_t t = 0; t < design->termCount; t++) {
            if (reader->pendingChannel[t] == c) {
                design->terms[next++] = written[t];
            }
        }
    }
}

// A table every scene has once, such as [camera], and what may stand in it.
struct RequiredTable {
    const char* key;                // the table's name in the file
    const char* where;              // how messages name it
    const char* const* allowedKeys; // the keys it may hold
    int32_t allowedCount;           // how many of them
    uint8_t owner;                  // whose fields the moves may drive
    const FieldList* fields;        // its numbers
};

// Reads one of the tables every scene must have into its record.
static bool readRequiredTable(Reader* reader, const toml::table& root, const RequiredTable& wanted, float* record) {
    const toml::node* node = root.get(wanted.key);
    if (node == nullptr || !node->is_table()) {
        return fail(reader, node ? lineOf(*node) : 1, "a scene needs a [%s] table", wanted.key);
    }
    return onlyKeys(reader, *node->as_table(), wanted.allowedKeys, wanted.allowedCount, wanted.where) &&
           readOwner(reader, *node->as_table(), wanted.owner, *wanted.fields, record, false, wanted.where);
}

// Checks the whole file's structure: what no key-by-key check covers.
static bool readRoot(Reader* reader, const toml::table& root) {
    static const char* const rootKeys[] = {"name", "about", "fog", "camera", "light", "texture", "object"};
    static const char* const cameraKeys[] = {"eye", "target", "zoom", "roll", "move"};
    static const char* const lightKeys[] = {"position", "move"};
    SceneDesign* design = reader->design;
    if (!onlyKeys(reader, root, rootKeys, 7, "the scene")) {
        return false;
    }
    const toml::node* name = root.get("name");
    if (name == nullptr) {
        return fail(reader, 1, "a scene needs 'name'");
    }
    if (!readName(reader, *name, "name", design->name)) {
        return false;
    }
    if (const toml::node* about = root.get("about")) {
        if (!readString(reader, *about, "about", design->about, sizeof(design->about))) {
            return false;
        }
    }
    design->fog = 1;
    if (const toml::node* fog = root.get("fog")) {
        if (!fog->is_boolean()) {
            return fail(reader, lineOf(*fog), "fog must be true or false");
        }
        design->fog = fog->as_boolean()->get() ? 1 : 0;
    }

    // Camera and light
    static const RequiredTable camera = {"camera", "the camera", cameraKeys, 5, OWNER_CAMERA, &cameraFieldList};
    static const RequiredTable light = {"light", "the light", lightKeys, 2, OWNER_LIGHT, &lightFieldList};
    if (!readRequiredTable(reader, root, camera, design->camera) ||
        !readRequiredTable(reader, root, light, design->light)) {
        return false;
    }

    // Textures, then the objects that may name them
    if (const toml::node* textures = root.get("texture")) {
        const toml::array* array = textures->as_array();
        if (array == nullptr) {
            return fail(reader, lineOf(*textures), "texture must be an array of tables: [[texture]]");
        }
        for (const toml::node& element : *array) {
            if (design->textureCount == MAX_SCENE_TEXTURES) {
                return fail(reader, lineOf(element), "too many textures (at most %d)", MAX_SCENE_TEXTURES);
            }
            if (!element.is_table()) {
                return fail(reader, lineOf(element), "a texture must be a table");
            }
            TextureDesign* texture = &design->textures[design->textureCount];
            if (!readTexture(reader, *element.as_table(), texture)) {
                return false;
            }
            for (int32_t t = 0; t < design->textureCount; t++) {
                if (std::strcmp(design->textures[t].name, texture->name) == 0) {
                    return fail(reader, lineOf(element), "a second texture named '%s'", texture->name);
                }
            }
            design->textureCount++;
        }
    }
    const toml::node* objects = root.get("object");
    const toml::array* array = objects ? objects->as_array() : nullptr;
    if (array == nullptr || array->empty()) {
        return fail(reader, objects ? lineOf(*objects) : 1, "a scene needs [[object]] tables, the floor first");
    }
    for (const toml::node& element : *array) {
        if (design->objectCount == MAX_SCENE_OBJECTS) {
            return fail(reader, lineOf(element), "too many objects (at most %d)", MAX_SCENE_OBJECTS);
        }
        if (!element.is_table()) {
            return fail(reader, lineOf(element), "an object must be a table");
        }
        if (!readObject(reader, *element.as_table(), &design->objects[design->objectCount], design->objectCount)) {
            return false;
        }
        design->objectCount++;
    }
    gatherTerms(reader);
    return true;
}

bool readSceneText(const char* text, size_t length, const char* fileName, SceneDesign* design, char* error,
                   size_t errorSize) {
    static Reader reader;
    reader.fileName = fileName;
    reader.error = error;
    reader.errorSize = errorSize;
    reader.design = design;
    std::memset(design, 0, sizeof(*design));
    if (length > MAX_SCENE_FILE_BYTES) {
        return fail(&reader, 1, "longer than %zu bytes: not a scene file", MAX_SCENE_FILE_BYTES);
    }
    // A dotted key nests one table per dot, which the parser frees by recursion
    size_t dots = 0;
    for (size_t i = 0; i < length; i++) {
        bool afterDigit = i > 0 && text[i - 1] >= '0' && text[i - 1] <= '9'; // a number's point
        dots = text[i] == '\n' ? 0 : dots + (text[i] == '.' && !afterDigit);
        if (dots > 64) {
            int64_t line = 1;
            for (size_t j = 0; j < i; j++) {
                line += text[j] == '\n';
            }
            return fail(&reader, line, "keys nested too deeply");
        }
    }
    toml::parse_result result = toml::parse(std::string_view(text, length), std::string_view(fileName));
    if (!result) {
        const toml::parse_error& parseError = result.error();
        char description[256];
        printable(parseError.description(), description, sizeof(description));
        return fail(&reader, static_cast<int64_t>(parseError.source().begin.line), "%s", description);
    }
    if (!readRoot(&reader, result.table())) {
        std::memset(design, 0, sizeof(*design));
        return false;
    }
    return true;
}

bool readSceneFile(const char* path, SceneDesign* design, char* error, size_t errorSize) {
    static char text[MAX_SCENE_FILE_BYTES + 1];
    FILE* file = openFile(path, "rb");
    if (file == nullptr) {
        if (errno == ENOENT && std::strchr(path, '/') == nullptr && std::strchr(path, '.') == nullptr) {
            std::snprintf(error, errorSize, "%s: no built-in scene of that name (see --list-scenes), nor a file", path);
        } else {
            std::snprintf(error, errorSize, "%s:1: cannot be opened: %s", path, std::strerror(errno));
        }
        return false;
    }
    size_t length = std::fread(text, 1, sizeof(text), file);
    bool broken = std::ferror(file) != 0;
    std::fclose(file);
    if (broken) {
        std::snprintf(error, errorSize, "%s:1: cannot be read (a folder, or a read error)", path);
        return false;
    }
    return readSceneText(text, length, path, design, error, errorSize);
}
