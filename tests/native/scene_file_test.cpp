// The scene reader against a hostile corpus: every bad file is refused with
// "FILE:LINE: what is wrong", never a crash, a hang or a huge allocation;
// and a good file gives the record it says.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "scenes/scene_design.h"
#include "scenes/scene_textures.h"

namespace {

SceneDesign design;
char error[MAX_ERROR_TEXT];

const std::string HEAD = "name = \"t\"\n"          // line 1
                         "[camera]\n"              // 2
                         "eye = [0, 50, -200]\n"   // 3
                         "target = [0, 10, 0]\n"   // 4
                         "zoom = 2.5\n"            // 5
                         "roll = 3.1415927\n"      // 6
                         "[light]\n"               // 7
                         "position = [0, 90, 0]\n" // 8
                         "[[object]]\n"            // 9
                         "kind = \"floor\"\n";     // 10
const std::string SPHERE = "[[object]]\nkind = \"sphere\"\ncenter = [0, 20, 0]\nradius = 30\n";

// Reads `text` as file "x/s.toml": the error, or "" when it was read.
std::string read(const std::string& text, const char* fileName = "x/s.toml") {
    error[0] = 0;
    bool ok = readSceneText(text.data(), text.size(), fileName, &design, error, sizeof(error));
    EXPECT_EQ(ok, error[0] == 0);
    return ok ? std::string() : std::string(error);
}

// The expected start of the message: the file and the line.
void expectRefused(const std::string& text, int line, const char* what) {
    std::string message = read(text);
    std::string place = "x/s.toml:" + std::to_string(line) + ": ";
    EXPECT_EQ(message.compare(0, place.size(), place), 0) << message << "\n(expected " << place << ")";
    EXPECT_NE(message.find(what), std::string::npos) << message << "\n(expected '" << what << "')";
}

TEST(SceneFile, AGoodFileGivesItsRecordsAndMotion) {
    std::string text = HEAD + "flags = [\"shadowed\", \"mirror\"]\n" + SPHERE +
                       "flags = [\"lit\", \"refract\"]\n"
                       "move = [{ to = \"center.y\", by = \"band\", band = 3, amp = 10 },\n"
                       "        { to = \"radius\", by = \"beat\", amp = 5 },\n"
                       "        { to = \"center.y\", by = \"sin\", amp = 2, rate = 3, phase = 1, bias = 0.5 }]\n"
                       "[[object]]\nkind = \"tube\"\nstart = [0, 0, 0]\nend = [0, 10, 0]\nradius = 2\n"
                       "[[object]]\nkind = \"parallelogram\"\ncorner = [0, 0, 0]\nedge_u = [1, 0, 0]\n"
                       "edge_v = [0, 1, 0]\n";
    ASSERT_EQ(read(text), "");
    EXPECT_STREQ(design.name, "t");
    EXPECT_EQ(design.fog, 1);
    ASSERT_EQ(design.objectCount, 4);
    EXPECT_EQ(design.objects[0].flags, SHADE_SHADOWED | SHADE_MIRROR);
    EXPECT_EQ(design.objects[1].flags, SHADE_LIT | SHADE_REFRACT);
    EXPECT_EQ(design.objects[1].record[1], 20.0f);
    EXPECT_EQ(design.objects[1].record[3], 30.0f);
    EXPECT_EQ(design.objects[2].kind, KIND_TUBE);
    EXPECT_EQ(design.objects[3].record[7], 1.0f);
    EXPECT_EQ(design.camera[2], -200.0f);
    // Two channels, centre.y's two terms together in the order written
    ASSERT_EQ(design.channelCount, 2);
    ASSERT_EQ(design.termCount, 3);
    EXPECT_EQ(design.channels[0].field, 1);
    EXPECT_EQ(design.channels[0].base, 20.0f);
    EXPECT_EQ(design.channels[0].count, 2);
    EXPECT_EQ(design.terms[design.channels[0].first].driver, DRIVER_BAND);
    EXPECT_EQ(design.terms[design.channels[0].first].band, 3);
    EXPECT_EQ(design.terms[design.channels[0].first + 1].phase, 1.0f);
    EXPECT_EQ(design.terms[design.channels[1].first].driver, DRIVER_BEAT);
}

// The README's complete example reads, with what it says.
TEST(SceneFile, TheReadmeExampleReads) {
    std::FILE* file = std::fopen(SOURCE_DIR "/README.md", "rb");
    ASSERT_NE(file, nullptr);
    std::string readme;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof(chunk), file)) > 0;) {
        readme.append(chunk, n);
    }
    std::fclose(file);
    size_t start = readme.find("```toml\n");
    ASSERT_NE(start, std::string::npos);
    start += 8;
    size_t end = readme.find("```", start);
    ASSERT_NE(end, std::string::npos);
    ASSERT_EQ(read(readme.substr(start, end - start)), "");
    EXPECT_STREQ(design.name, "example");
    EXPECT_EQ(design.objectCount, 3);
    EXPECT_EQ(design.textureCount, 1);
}

TEST(SceneFile, BadFilesAreRefusedWithTheirLine) {
    expectRefused("", 1, "needs 'name'");
    expectRefused(std::string("\x7f\x45\x4c\x46\x02\x01\x01\0\0\xff\xfe\x80 junk", 16), 1, "");
    expectRefused("name = \"t\"\n\xc3\x28 = 1\n", 1, "invalid utf-8"); // toml++ names the line before
    expectRefused(HEAD + "colour = 3\n", 11, "unknown key 'colour' in a floor");
    expectRefused(HEAD + "zoom = 2\n", 11, "unknown key 'zoom'");
    expectRefused(HEAD + SPHERE.substr(0, SPHERE.size() - 12), 11, "a sphere needs 'radius'");
    expectRefused(HEAD + SPHERE + "radius = -3\n", 15, ""); // a second radius: TOML refuses it
    expectRefused(HEAD + "[[object]]\nkind = \"sphere\"\ncenter = [0, 20, 0]\nradius = -3\n", 14, "radius must lie");
    expectRefused(HEAD + "[[object]]\nkind = \"sphere\"\ncenter = [0, 20, 0]\nradius = nan\n", 14, "radius must lie");
    expectRefused(HEAD + "[[object]]\nkind = \"sphere\"\ncenter = [0, inf, 0]\nradius = 1\n", 13, "center must lie");
    expectRefused(HEAD + "[[object]]\nkind = \"sphere\"\ncenter = [0, 1e300, 0]\nradius = 1\n", 13, "must lie");
    expectRefused(HEAD + "[[object]]\nkind = \"sphere\"\ncenter = [0, 0]\nradius = 1\n", 13, "three numbers");
    expectRefused(HEAD + "[[object]]\nkind = \"sphere\"\ncenter = \"up\"\nradius = 1\n", 13, "three numbers");
    expectRefused(HEAD + "[[object]]\nkind = \"cube\"\n", 12, "kind is one of");
    expectRefused(HEAD + "[[object]]\nkind = \"floor\"\n", 12, "only the first object");
    expectRefused(HEAD + "[[object]]\nkind = \"tube\"\nstart = [1, 2, 3]\nend = [1, 2, 3]\nradius = 1\n", 11,
                  "start and end must differ");
    expectRefused(HEAD + "flags = [\"shiny\"]\n", 11, "a flag is one of");
    expectRefused(HEAD + "texture = \"wood\"\n", 11, "no texture named 'wood'");
    expectRefused(HEAD + "move = [{ to = \"offset\", by = \"band\" }]\n", 11, "needs 'band'");
    expectRefused(HEAD + "move = [{ to = \"offset\", by = \"band\", band = 16 }]\n", 11, "band must lie");
    expectRefused(HEAD + "move = [{ to = \"radius\", by = \"sin\" }]\n", 11, "no property 'radius'");
    expectRefused(HEAD + "move = [{ to = \"offset\", by = \"cosine\" }]\n", 11, "unknown driver");
    expectRefused(HEAD + "move = [{ to = \"offset\", by = \"sin\", rate = 1e9 }]\n", 11, "rate must lie");
    expectRefused("name = \"a b\"\n", 1, "only letters");
    expectRefused("name = \"t\"\n[camera]\neye = [0, 0, 0]\n", 2, "the camera needs 'target'");
    expectRefused("name = \"t\"\nfog = 1\n", 2, "fog must be true or false");

    // Huge counts: the first object past the limit is named
    std::string many = HEAD;
    for (int32_t i = 1; i < MAX_SCENE_OBJECTS + 5; i++) {
        many += SPHERE;
    }
    expectRefused(many, 11 + 4 * (MAX_SCENE_OBJECTS - 1), "too many objects");
    std::string moves = HEAD + "move = [";
    for (int32_t i = 0; i <= MAX_MOTION_TERMS; i++) {
        moves += "{ to = \"offset\", by = \"beat\" },";
    }
    expectRefused(moves + "]\n", 11, "too many moves");

    // Deep nesting: arrays, inline tables and dotted table headers
    expectRefused("name = \"t\"\nx = " + std::string(100000, '[') + "\n", 2, "");
    expectRefused("name = \"t\"\nx = " + std::string(20000, '{') + "\n", 2, "");
    std::string dotted = "name = \"t\"\n[a";
    for (int32_t i = 0; i < 50000; i++) {
        dotted += ".a";
    }
    expectRefused(dotted + "]\n", 2, "nested too deeply");

    // Longer than any scene: refused unread
    expectRefused(HEAD + "# " + std::string(MAX_SCENE_FILE_BYTES, 'x') + "\n", 1, "longer than");
}

TEST(SceneFile, TexturesFromFiles) {
    char folder[] = "/tmp/scene_file_test_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string dir = folder;
    std::string scene = dir + "/s.toml";
    FILE* file = std::fopen((dir + "/junk.ppm").c_str(), "wb");
    std::fputs("this is not an image\n", file);
    std::fclose(file);
    file = std::fopen((dir + "/short.ppm").c_str(), "wb");
    std::fputs("P6 4 4 255\nabc", file);
    std::fclose(file);
    file = std::fopen((dir + "/two.ppm").c_str(), "wb");
    std::fputs("P6\n# red, blue\n2 1\n255\n", file);
    std::fwrite("\xff\x00\x00\x00\x00\xff", 1, 6, file);
    std::fclose(file);

    auto textured = [](const char* path) {
        return "name = \"t\"\n[camera]\neye = [0, 50, -200]\ntarget = [0, 0, 0]\nzoom = 2.5\nroll = 0\n"
               "[light]\nposition = [0, 90, 0]\n"
               "[[texture]]\nname = \"picture\"\nkind = \"image\"\nfile = \"" +
               std::string(path) + "\"\n[[object]]\nkind = \"floor\"\ntexture = \"picture\"\n";
    };
    for (const char* bad : {"junk.ppm", "short.ppm", "missing.ppm"}) {
        std::string text = textured(bad);
        error[0] = 0;
        EXPECT_FALSE(readSceneText(text.data(), text.size(), scene.c_str(), &design, error, sizeof(error)));
        std::string expected = scene + ":12: texture " + dir + "/" + bad + " cannot be read";
        EXPECT_EQ(std::string(error).compare(0, expected.size(), expected), 0) << error;
    }
    std::string text = textured("two.ppm");
    ASSERT_TRUE(readSceneText(text.data(), text.size(), scene.c_str(), &design, error, sizeof(error))) << error;
    static Texture texture;
    ASSERT_TRUE(readPpmTexture(design.textures[0].path, &texture, error, sizeof(error))) << error;
    EXPECT_EQ(texture.texels[0][2], 255);   // red at the left
    EXPECT_EQ(texture.texels[255][0], 255); // blue at the right
    EXPECT_EQ(texture.texels[255 * 256 + 255][0], 255);

    // A file that is not there, and a folder
    EXPECT_FALSE(readSceneFile((dir + "/none.toml").c_str(), &design, error, sizeof(error)));
    EXPECT_NE(std::string(error).find("none.toml:1: cannot be opened"), std::string::npos) << error;
    EXPECT_FALSE(readSceneFile(dir.c_str(), &design, error, sizeof(error)));
    EXPECT_NE(std::string(error).find(":1: cannot be read"), std::string::npos) << error;
    for (const char* name : {"junk.ppm", "short.ppm", "two.ppm"}) {
        std::remove((dir + "/" + name).c_str());
    }
    rmdir(folder);
}

} // namespace
