// The half-resolution sample grid: where renderView writes, how it clamps,
// which way each primary ray looks, and how upsampleFrame fills the rest.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "frame/frame_buffer.h"
#include "raytracer/sampling.h"
#include "raytracer/scene.h"
#include "raytracer/shading.h"
#include "tests/native/reference_vector.h"

namespace {

uint8_t frame[FRAME_BYTES];
uint8_t before[FRAME_BYTES];
TextureStore samplingStore; // slot 1 uniform, slot 2 encodes (u, v) as red and green

constexpr int32_t SAMPLE_COLUMNS = 161;
constexpr int32_t SAMPLE_ROWS = 91;
constexpr uint8_t UNTOUCHED = 0x11;

int32_t sampleOffset(int32_t j, int32_t i) {
    return i * 2560 + j * 8;
}
int32_t pixelOffset(int32_t x, int32_t y) {
    return y * FRAME_ROW_BYTES + x * 4;
}

// True for bytes 0 to 2 of the pixel of some sample (j, i): counted from
// the start of the row pair i, pixel k = 2 j, where k = 320 is the first
// pixel of the odd row.
bool isSampleByte(int32_t offset) {
    int32_t pixel = offset / 4;
    int32_t i = pixel / 640;
    int32_t k = pixel % 640;
    return offset % 4 != 3 && i < SAMPLE_ROWS && k <= 320 && k % 2 == 0;
}

// Direction of sample (j, i) for a camera, worked in double precision.
Vec sampleDirection(const Camera& camera, int32_t j, int32_t i) {
    Vec forward = unit(sub(toVec(camera.target), toVec(camera.eye)));
    Vec up0 = {std::sin(double(camera.roll)), -std::cos(double(camera.roll)), 0};
    Vec right = unit(crossd(up0, forward));
    Vec down = unit(crossd(right, forward));
    right = scale(camera.zoom / 160.0, right);
    down = scale(camera.zoom / (90 * 1.6), down);
    return unit(add(forward, add(scale(j - 80, right), scale(i - 45, down))));
}

// Scene records of our own, pointed to by the table during a test.
FloorPlaneData testFloor;
SphereData testSpheres[SCENE_OBJECT_COUNT];
ParallelogramData marker;

struct SamplingTest : ::testing::Test {
    Camera camera{};
    Light light{};

    static void SetUpTestSuite() {
        for (int32_t index = 0; index < 256 * 256; ++index) {
            uint8_t* texel = samplingStore.slots[1].texels[index];
            texel[0] = 253;
            texel[1] = 255;
            texel[2] = 254;
            uint8_t* coded = samplingStore.slots[2].texels[index];
            coded[0] = 50;
            coded[1] = uint8_t(index / 256); // v
            coded[2] = uint8_t(index % 256); // u
        }
    }

    // A floor far below (every ray meeting it is lost in the sky) and five
    // spheres parked further down.
    void SetUp() override {
        setSampleGrid();
        testFloor = {0, 10000};
        setEntry(0, KIND_FLOOR, &testFloor, 0, 0);
        for (int e = 1; e < SCENE_OBJECT_COUNT; ++e) {
            testSpheres[e] = {{float(e * 10), -50000, 0}, 1};
            setEntry(e, KIND_SPHERE, &testSpheres[e], 0, 0);
        }
        scene.objectCount = SCENE_OBJECT_COUNT;
        scene.fogEnabled = 1;
        camera = {{0, 10, 0}, {3, 30, 12}, 2.5f, 3.1415927f};
        light.position = camera.eye;
        std::memset(frame, UNTOUCHED, sizeof frame);
    }

    void TearDown() override { buildScene(&textureStore); }

    void setEntry(int e, uint8_t kind, void* data, int slot, uint8_t flags) {
        scene.objects[e].kind = kind;
        scene.objects[e].data = data;
        scene.objects[e].texture = &samplingStore.slots[slot];
        scene.objects[e].flags = flags;
    }

    // The camera sits at the centre of a sphere seen from inside, with the
    // light beside it: every hit is the same distance from the light, so
    // every sample gets 1.3 (1 - fall-off) x texel = gain x texel.
    void enclose(double gain) {
        double fallOff = 1 - gain / 1.3;
        double radius = std::sqrt(fallOff / 4.9382716e-6);
        ASSERT_LT(radius, 300) << "must stay clear of the fog";
        testSpheres[1] = {camera.eye, float(radius)};
        setEntry(1, KIND_SPHERE, &testSpheres[1], 1, SHADE_INSIDE);
    }

    // A tiny square across the expected direction of sample (j, i), 10
    // units out and 2e-4 rad wide: only a ray within 1e-4 rad of that
    // direction can meet it.
    void placeMarker(int32_t j, int32_t i) {
        Vec direction = sampleDirection(camera, j, i);
        Vec side = unit(crossd(direction, {0, 1, 0}));
        Vec other = unit(crossd(side, direction));
        double half = 1e-3;
        Vec centre = add(toVec(camera.eye), scale(10, direction));
        Vec corner = sub(centre, add(scale(half, side), scale(half, other)));
        marker = {toVector3(corner),
                  toVector3(add(corner, scale(2 * half, side))),
                  toVector3(add(corner, scale(2 * half, other))),
                  {},
                  {},
                  {}};
        setEntry(2, KIND_PARALLELOGRAM, &marker, 2, 0);
        prepareTable[KIND_PARALLELOGRAM](&scene.objects[2]);
    }

    // Samples whose blue byte is not the sky's 255.
    std::vector<std::pair<int32_t, int32_t>> markedSamples() {
        std::vector<std::pair<int32_t, int32_t>> found;
        for (int32_t i = 0; i < SAMPLE_ROWS; ++i) {
            for (int32_t j = 0; j < SAMPLE_COLUMNS; ++j) {
                if (frame[sampleOffset(j, i)] != 255) {
                    found.push_back({j, i});
                }
            }
        }
        return found;
    }
};

} // namespace

// ---- Grid

TEST_F(SamplingTest, GridValues) {
    EXPECT_EQ(sampleGrid.columns, 161);
    EXPECT_EQ(sampleGrid.rows, 91);
    EXPECT_EQ(sampleGrid.columnStep, 8);
    EXPECT_EQ(sampleGrid.rowSkip, 1272);
    EXPECT_EQ(sampleGrid.horizontalDivisor, 160.0f);
    EXPECT_EQ(sampleGrid.verticalBase, 90.0f);
    EXPECT_EQ(sampleGrid.columnHalfExtent, 80);
    EXPECT_EQ(sampleGrid.rowHalfExtent, 45);
    EXPECT_EQ(sampleGrid.columns * sampleGrid.columnStep + sampleGrid.rowSkip, 2 * FRAME_ROW_BYTES);
}

// ---- renderView

// Gain 1.0076 on texel (254, 255, 253) traces red 255.93, green 256.94 and
// blue 254.92: written as 255, 255 and 254.
TEST_F(SamplingTest, RenderWritesOnlySamplePixels) {
    enclose(1.0076);
    renderView(frame, &camera, &light);
    int32_t wrong = 0;
    int32_t firstWrong = -1;
    for (int32_t offset = 0; offset < FRAME_BYTES; ++offset) {
        uint8_t expected = UNTOUCHED;
        if (isSampleByte(offset)) {
            const uint8_t bgr[3] = {254, 255, 255};
            expected = bgr[offset % 4];
        }
        if (frame[offset] != expected) {
            wrong += 1;
            firstWrong = firstWrong < 0 ? offset : firstWrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "first at byte " << firstWrong << " (pixel " << firstWrong % 1280 / 4 << ", "
                        << firstWrong / 1280 << ")";
}

TEST_F(SamplingTest, SampleLayout) {
    // The 161st sample of row i is pixel (0, 2i + 1); the last one is (0, 181).
    EXPECT_EQ(sampleOffset(0, 0), pixelOffset(0, 0));
    EXPECT_EQ(sampleOffset(159, 0), pixelOffset(318, 0));
    EXPECT_EQ(sampleOffset(160, 7), pixelOffset(0, 15));
    EXPECT_EQ(sampleOffset(160, 90), pixelOffset(0, 181));
    enclose(1.0076);
    renderView(frame, &camera, &light);
    EXPECT_EQ(frame[pixelOffset(0, 15)], 254);
    EXPECT_EQ(frame[pixelOffset(0, 181)], 254);
    EXPECT_EQ(frame[pixelOffset(0, 181) + 3], UNTOUCHED);
    EXPECT_EQ(frame[pixelOffset(1, 181)], UNTOUCHED);
    EXPECT_EQ(frame[pixelOffset(319, 180)], UNTOUCHED);
}

TEST_F(SamplingTest, ClampsAboveAndTruncatesBelow255) {
    struct Case {
        double gain;
        uint8_t blue, green, red; // texel (253, 255, 254) times gain
    } cases[] = {
        {1.0076, 254, 255, 255},  // 254.92, 256.94, 255.93
        {1.00392, 253, 255, 254}, // 253.99, 255.9996, 254.996
        {1.0002, 253, 255, 254},  // just above the texel values
        {1.29, 255, 255, 255},    // everything far above 255
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gain);
        enclose(c.gain);
        renderView(frame, &camera, &light);
        for (int32_t i : {0, 45, 90}) {
            for (int32_t j : {0, 80, 160}) {
                const uint8_t* pixel = frame + sampleOffset(j, i);
                EXPECT_EQ(pixel[0], c.blue);
                EXPECT_EQ(pixel[1], c.green);
                EXPECT_EQ(pixel[2], c.red);
            }
        }
    }
}

TEST_F(SamplingTest, CentreSampleLooksAlongTheView) {
    placeMarker(80, 45);
    renderView(frame, &camera, &light);
    auto found = markedSamples();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, 80);
    EXPECT_EQ(found[0].second, 45);
    // Red and green are 1.3 (1 - 100 / 450^2) x the texel's u and v: the
    // ray met the square within a tenth of its width of the middle, that
    // is within 2e-5 rad of the view direction.
    const uint8_t* pixel = frame + sampleOffset(80, 45);
    double gain = 1.3 * (1 - 100 * 4.9382716e-6);
    EXPECT_EQ(pixel[0], uint8_t(gain * 50));
    EXPECT_GE(pixel[2], uint8_t(gain * 102));
    EXPECT_LE(pixel[2], uint8_t(gain * 153));
    EXPECT_GE(pixel[1], uint8_t(gain * 102));
    EXPECT_LE(pixel[1], uint8_t(gain * 153));
    // traceRay along the view direction itself meets the middle too.
    Vector3 view = camera.target - camera.eye;
    normalize(view);
    Ray ray{camera.eye, view};
    HitRecord hit{};
    hit.t = NO_HIT;
    float red = 0;
    float green = 0;
    float blue = 0;
    refractInside = 0;
    traceRay(0, &ray, &hit, &light.position, &view, &red, &green, &blue);
    EXPECT_EQ(hit.object, &scene.objects[2]);
    EXPECT_NEAR(hit.u, 127, 13);
    EXPECT_NEAR(hit.v, 127, 13);
}

TEST_F(SamplingTest, SamplesLookWhereTheBasisSays) {
    // Column 0 lies towards -R, row 0 towards -U (up, with roll = pi).
    const std::pair<int32_t, int32_t> samples[] = {{0, 0}, {160, 0}, {0, 90}, {160, 90}, {17, 70}, {131, 3}};
    for (const auto& s : samples) {
        SCOPED_TRACE(testing::Message() << "sample " << s.first << ", " << s.second);
        placeMarker(s.first, s.second);
        std::memset(frame, UNTOUCHED, sizeof frame);
        renderView(frame, &camera, &light);
        auto found = markedSamples();
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].first, s.first);
        EXPECT_EQ(found[0].second, s.second);
    }
    // Row 0 looks higher than row 90.
    EXPECT_GT(sampleDirection(camera, 80, 0).y, sampleDirection(camera, 80, 90).y);
}

TEST_F(SamplingTest, RenderThenUpsampleCoversRowsZeroTo180) {
    enclose(1.0076);
    renderView(frame, &camera, &light);
    upsampleFrame(frame);
    int32_t wrong = 0;
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y) {
        for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
            const uint8_t* pixel = frame + pixelOffset(x, y);
            bool covered = y < TRACED_ROWS || (x == 0 && y == 181);
            uint8_t blue = covered ? 254 : UNTOUCHED;
            uint8_t other = covered ? 255 : UNTOUCHED;
            wrong += pixel[0] != blue || pixel[1] != other || pixel[2] != other || pixel[3] != UNTOUCHED;
        }
    }
    EXPECT_EQ(wrong, 0);
}

// ---- upsampleFrame

// Fills the frame with a recognisable pattern: samples from `sample(j, i,
// channel)`, everything else (byte 3, gaps, rows 181 on) from the position.
template <typename SampleValue> void fillFrame(SampleValue sample) {
    for (int32_t offset = 0; offset < FRAME_BYTES; ++offset) {
        frame[offset] = uint8_t(offset * 131 + offset / 1280 * 7);
    }
    for (int32_t i = 0; i < SAMPLE_ROWS; ++i) {
        for (int32_t j = 0; j < SAMPLE_COLUMNS; ++j) {
            for (int32_t channel = 0; channel < 3; ++channel) {
                frame[sampleOffset(j, i) + channel] = sample(j, i, channel);
            }
        }
    }
    std::memcpy(before, frame, sizeof frame);
}

TEST(Upsample, CheckerboardAveragesTo127) {
    // Green and red alternate 0 / 255 along rows and down columns; blue is flat.
    fillFrame([](int32_t j, int32_t i, int32_t channel) -> uint8_t {
        bool odd = (i + j) % 2 == 1;
        return channel == 0 ? 10 : channel == 1 ? (odd ? 255 : 0) : (odd ? 0 : 255);
    });
    upsampleFrame(frame);
    int32_t wrong = 0;
    for (int32_t y = 0; y < TRACED_ROWS; ++y) {
        for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
            int32_t at = pixelOffset(x, y);
            bool sample = x % 2 == 0 && y % 2 == 0;
            if (sample) {
                wrong += std::memcmp(frame + at, before + at, 4) != 0;
                continue;
            }
            wrong += frame[at] != 10 || frame[at + 1] != 127 || frame[at + 2] != 127 || frame[at + 3] != before[at + 3];
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Upsample, LeavesRowsFrom181AndByte3Alone) {
    std::mt19937 rng(2024);
    fillFrame([&rng](int32_t, int32_t, int32_t) -> uint8_t { return uint8_t(rng()); });
    upsampleFrame(frame);
    EXPECT_EQ(std::memcmp(frame + pixelOffset(0, 181), before + pixelOffset(0, 181), FRAME_BYTES - pixelOffset(0, 181)),
              0);
    int32_t changed = 0;
    for (int32_t offset = 3; offset < FRAME_BYTES; offset += 4) {
        changed += frame[offset] != before[offset];
    }
    EXPECT_EQ(changed, 0);
}

TEST(Upsample, RightEdgeUsesFirstPixelOfNextRow) {
    fillFrame([](int32_t, int32_t, int32_t) -> uint8_t { return 0; });
    frame[pixelOffset(318, 0) + 1] = 100; // sample (159, 0)
    frame[pixelOffset(0, 1) + 1] = 200;   // sample (160, 0)
    frame[pixelOffset(0, 0) + 1] = 50;    // the row's own first pixel must not be used
    upsampleFrame(frame);
    EXPECT_EQ(frame[pixelOffset(319, 0) + 1], 150);
    EXPECT_EQ(frame[pixelOffset(319, 2) + 1], 0);
    EXPECT_EQ(frame[pixelOffset(319, 1) + 1], 75); // (150 + 0) / 2
    EXPECT_EQ(frame[pixelOffset(0, 1) + 1], 25);   // overwritten: (50 + 0) / 2
    EXPECT_EQ(frame[pixelOffset(317, 0) + 1], 50); // (0 + 100) / 2
}

TEST(Upsample, AveragesRoundDownPerChannel) {
    // Left samples (1, 255, 254), right ones (2, 255, 255), per row alike.
    fillFrame([](int32_t j, int32_t, int32_t channel) -> uint8_t {
        const uint8_t even[3] = {1, 255, 254};
        const uint8_t odd[3] = {2, 255, 255};
        return j % 2 ? odd[channel] : even[channel];
    });
    upsampleFrame(frame);
    for (int32_t y : {0, 1, 90, 179, 180}) {
        for (int32_t x : {1, 3, 159, 317, 319}) {
            SCOPED_TRACE(testing::Message() << x << ", " << y);
            const uint8_t* pixel = frame + pixelOffset(x, y);
            EXPECT_EQ(pixel[0], 1);
            EXPECT_EQ(pixel[1], 255);
            EXPECT_EQ(pixel[2], 254);
        }
    }
    // Odd rows below even samples: pairs of equal samples stay as they are.
    EXPECT_EQ(frame[pixelOffset(2, 1) + 0], 2);
    EXPECT_EQ(frame[pixelOffset(2, 1) + 2], 255);
}

// Both routines: the SSE2 one and the byte-at-a-time one of builds without SSE2.
class UpsampleRoutine : public testing::TestWithParam<void (*)(FrameBuffer)> {};

TEST_P(UpsampleRoutine, RandomFrameMatchesPairwiseAverages) {
    std::mt19937 rng(77);
    fillFrame([&rng](int32_t, int32_t, int32_t) -> uint8_t { return uint8_t(rng()); });
    GetParam()(frame);
    // Worked from the untouched copy: first along rows, then down columns.
    auto original = [](int32_t x, int32_t y, int32_t c) { return int32_t(before[pixelOffset(x, y) + c]); };
    auto across = [&](int32_t x, int32_t y, int32_t c) {
        if (x % 2 == 0) {
            return original(x, y, c);
        }
        int32_t right = x == 319 ? original(0, y + 1, c) : original(x + 1, y, c);
        return (original(x - 1, y, c) + right) >> 1;
    };
    int32_t wrong = 0;
    for (int32_t y = 0; y < TRACED_ROWS; ++y) {
        for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
            for (int32_t c = 0; c < 3; ++c) {
                int32_t expected = y % 2 == 0 ? across(x, y, c) : (across(x, y - 1, c) + across(x, y + 1, c)) >> 1;
                wrong += frame[pixelOffset(x, y) + c] != expected;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Upsample, UpsampleRoutine, testing::Values(upsampleFrame, upsampleFrameBytewise));
