// kavrel-render: the same columns as the viewer, the same line for every file format, and clear
// refusals of bad input and options.
#include "ProgramRun.h"
#include "Progress.h"
#include "Render.h"
#include "SoundFile.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <vector>

namespace {

constexpr int Left = 70;
constexpr double Pi = 3.14159265358979323846;

// A test sound: a tone with a slow rise in loudness and a little deterministic noise.
std::vector<float> Tone(double hz, uint32_t rate, double seconds, uint32_t channels = 1,
                        uint32_t toneChannel = 0) {
    const auto frames = size_t(seconds * rate);
    std::vector<float> out(frames * channels, 0.0f);
    uint32_t noise = 12345;
    for (size_t n = 0; n < frames; ++n) {
        noise = noise * 1664525u + 1013904223u;
        const double loud = 0.2 + 0.3 * double(n) / double(frames);
        for (uint32_t c = 0; c < channels; ++c) {
            const double v = c == toneChannel ? loud * std::sin(2 * Pi * hz * double(n) / rate)
                                              : 0.3 * std::sin(2 * Pi * 2000.0 * double(n) / rate);
            out[n * channels + c] = float(v + 0.01 * (double(noise >> 8) / 8388608.0 - 1.0));
        }
    }
    return out;
}

// Writes interleaved samples with libsndfile; format as SF_FORMAT_* bits.
void WriteSound(const std::string& path, int format, uint32_t rate, uint32_t channels,
                const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = int(rate);
    info.channels = int(channels);
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, samples.data(), sf_count_t(samples.size() / channels));
    sf_close(file);
}

// The row of the largest level in column x (middle of the saturated run), counted from the
// lowest frequency.
double BrightestRow(const RenderPicture& p, uint32_t x) {
    uint32_t best = 0, first = 0, last = 0;
    for (uint32_t k = 0; k < p.rows; ++k) {
        const uint32_t level = p.pixels[size_t(p.rows - 1 - k) * p.width + Left + x] & 0xFF;
        if (level > best) best = level, first = k;
        if (level == best) last = k;
    }
    return (first + last) / 2.0;
}

class Render : public ProgramRun {
protected:
    RenderPicture RenderFile(const std::string& path, SoundSpan span = {}) {
        const SoundResult sound = ReadSoundFile(path.c_str(), span);
        EXPECT_EQ(sound.status, SoundStatus::Ok) << sound.message;
        CleanDesktop();
        return RenderSamples(sound.samples, RenderJob{});
    }
};

TEST_F(Render, ColumnsAndPeakEqualTheViewersForTheSameCapturedSamples) {
    constexpr uint32_t Ticks = 40;
    const std::vector<float> tone = Tone(600, RenderRate, 2.5);
    std::vector<int16_t> samples(SamplesByTick(Ticks));
    for (size_t n = 0; n < samples.size(); ++n)
        samples[n] = int16_t(std::lround(tone[n] * 32767));
    VirtualCaptureSource source;
    source.channel[0].samples = samples;
    VirtualSetCaptureSource(source);
    Pass(Ticks * 50);
    std::vector<uint32_t> viewer;
    float viewerPeak = 0;
    uint32_t rows = 0, cols = 0;
    At([&] {
        rows = frmMain->Rows, cols = frmMain->Cols;
        viewerPeak = frmMain->Peak;
        for (uint32_t y = 0; y < rows; ++y)
            for (uint32_t x = 0; x < cols; ++x)
                viewer.push_back(Pixel(Left + int(x), int(y)));
    });
    ASSERT_EQ(RunProgram(), 0);

    CleanDesktop();
    const RenderPicture rendered = RenderSamples(samples, RenderJob{});
    ASSERT_TRUE(rendered.ok) << rendered.message;
    ASSERT_EQ(rendered.rows, rows);
    ASSERT_GT(rendered.columns, 50u);
    ASSERT_LT(rendered.columns, cols);
    EXPECT_EQ(rendered.peak, viewerPeak);
    EXPECT_GT(rendered.peak, 0.0f);
    // The viewer's newest columns are at its right edge; the render's start at its left.
    const uint32_t shift = cols - rendered.columns;
    uint32_t differing = 0;
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < rendered.columns; ++x)
            differing += viewer[size_t(y) * cols + shift + x] !=
                         rendered.pixels[size_t(y) * rendered.width + Left + x];
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(viewer[size_t(rows / 2) * cols + shift - 1], 0u); // nothing before the first line
}

TEST_F(Render, EveryFormatAndRateGivesTheToneOnTheSameRow) {
    const std::string wav16 = dir.File("a.wav"), wav24 = dir.File("b.wav"), f48 = dir.File("c.wav"),
                      stereo = dir.File("d.wav"), flac = dir.File("e.flac"), u8 = dir.File("f.wav");
    WriteSound(wav16, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1, Tone(700, 11025, 1.5));
    WriteSound(wav24, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 1, Tone(700, 44100, 1.5));
    WriteSound(f48, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, Tone(700, 48000, 1.5));
    WriteSound(stereo, SF_FORMAT_WAV | SF_FORMAT_PCM_32, 22050, 2, Tone(700, 22050, 1.5, 2, 1));
    WriteSound(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 11025, 1, Tone(700, 11025, 1.5));
    WriteSound(u8, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, Tone(700, 8000, 1.5));

    const RenderPicture reference = RenderFile(wav16);
    ASSERT_TRUE(reference.ok);
    const double row = BrightestRow(reference, reference.columns - 2);
    EXPECT_NEAR(row, (700.0 - 40) * (reference.rows - 1) / (1200.0 - 40), 1.0);
    for (const auto& [path, channel] : std::vector<std::pair<std::string, uint32_t>>{
             {wav24, 0}, {f48, 0}, {stereo, 1}, {u8, 0}}) {
        const RenderPicture p = RenderFile(path, SoundSpan{channel});
        ASSERT_TRUE(p.ok) << path;
        EXPECT_NEAR(p.columns, reference.columns, 1.0) << path;
        for (uint32_t x = p.columns / 4; x < p.columns - 1; x += p.columns / 4)
            EXPECT_NEAR(BrightestRow(p, x), row, 1.0) << path << " column " << x;
    }
    // The other channel of the stereo file holds 2000 Hz, above the picture: no line at 700 Hz.
    const RenderPicture left = RenderFile(stereo, SoundSpan{0});
    EXPECT_GT(std::fabs(BrightestRow(left, left.columns / 2) - row), 10.0);
    // Lossless FLAC: the very same picture.
    const RenderPicture fromFlac = RenderFile(flac);
    EXPECT_EQ(fromFlac.pixels, reference.pixels);
}

TEST_F(Render, ASpanIsReadFromItsTimeAndLongSoundsGetFewerWindowsFurtherApart) {
    const std::string path = dir.File("long.wav");
    WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1, Tone(700, 11025, 6.0));
    const SoundResult whole = ReadSoundFile(path.c_str(), SoundSpan{});
    const SoundResult part = ReadSoundFile(path.c_str(), SoundSpan{0, false, 2.0, 3.5});
    ASSERT_EQ(part.status, SoundStatus::Ok);
    ASSERT_EQ(part.samples.size(), 38588u - 22050); // frames n with 2 <= n / 11025 < 3.5
    EXPECT_TRUE(
        std::equal(part.samples.begin(), part.samples.end(), whole.samples.begin() + 2 * 11025));
    EXPECT_EQ(ReadSoundFile(path.c_str(), SoundSpan{0, false, 7.0, -1}).status,
              SoundStatus::EmptySpan);

    RenderJob job;
    job.maxColumns = 100;
    const RenderPicture narrow = RenderSamples(whole.samples, job);
    ASSERT_TRUE(narrow.ok);
    // 6 s are 359 windows of 556 samples 183 apart: every 4th is a column, 90 columns.
    EXPECT_EQ(narrow.hopsPerColumn, 4u);
    EXPECT_EQ(narrow.columns, 90u);
    EXPECT_EQ(narrow.width, 90u + Left);
    // Each column is the same window's column as in the full picture, and the peak has risen
    // through every line as the viewer's does.
    const RenderPicture full = RenderSamples(whole.samples, RenderJob{});
    ASSERT_EQ(full.columns, 359u);
    EXPECT_EQ(narrow.peak, full.peak);
    for (uint32_t x = 0; x < narrow.columns; x += 7)
        for (uint32_t y = 0; y < narrow.rows; y += 3)
            ASSERT_EQ(narrow.pixels[size_t(y) * narrow.width + Left + x],
                      full.pixels[size_t(y) * full.width + Left + 4 * x])
                << "column " << x << " row " << y;
}

std::string Contents(FILE* file) {
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes.push_back(char(c));
    return bytes;
}

TEST_F(Render, ASecondEngineProcessKeepsPicturePeakAndLinesBitForBit) {
    const std::vector<float> tone = Tone(450, RenderRate, 20.0);
    std::vector<int16_t> samples(tone.size());
    for (size_t n = 0; n < samples.size(); ++n)
        samples[n] = int16_t(std::lround(tone[n] * 32767));
    FILE* oneLines = std::tmpfile();
    FILE* twoLines = std::tmpfile();
    RenderJob one, two;
    one.secondProcess = false;
    one.lines = oneLines;
    two.lines = twoLines;
    const RenderPicture alone = RenderSamples(samples, one);
    const RenderPicture shared = RenderSamples(samples, two);
    ASSERT_TRUE(alone.ok && shared.ok);
    ASSERT_EQ(alone.columns, 1202u); // (220500 - 556) / 183 + 1, above the second process's 1000
    EXPECT_EQ(shared.peak, alone.peak);
    EXPECT_TRUE(shared.pixels == alone.pixels);
    const std::string a = Contents(oneLines), b = Contents(twoLines);
    EXPECT_EQ(a.size(), size_t(1202) * 280 * 4);
    EXPECT_TRUE(a == b);
    std::fclose(oneLines);
    std::fclose(twoLines);
}

TEST(RenderProgress, TheBarEndsFullOnItsOwnLine) {
    FILE* to = std::tmpfile();
    Progress bar(to, 400);
    bar.Show(100); // the first call draws: the interval counts from the start
    bar.Finish();
    const std::string shown = Contents(to);
    EXPECT_EQ(shown.back(), '\n');
    EXPECT_NE(shown.find("[##############################] 100%"), std::string::npos) << shown;
    std::fclose(to);
    Progress silent(nullptr, 400); // no terminal: nothing at all
    silent.Show(400);
    silent.Finish();
}

// Runs kavrel-render with arguments (already quoted) in the test's directory.
struct Outcome {
    int status;
    std::string err;
};

class RenderProgram : public testing::Test {
protected:
    Outcome Program(const std::string& args) {
        const std::string errFile = dir.File("stderr.txt");
        const std::string command =
            "cd " + dir.Dir() + " && " KAVREL_RENDER " " + args + " 2>" + errFile + " >/dev/null";
        const int raw = std::system(command.c_str());
        std::ifstream in(errFile);
        std::stringstream text;
        text << in.rdbuf();
        std::remove(errFile.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
    }
    // The names in the test's directory, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.Dir()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void ExpectRefused(const std::string& args, const std::string& says, bool usage) {
        const auto before = Files();
        const Outcome r = Program(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(r.err.find("usage:") != std::string::npos, usage) << args;
        EXPECT_EQ(Files(), before) << args; // nothing written, nothing half-written
    }
    TempDir dir;
};

TEST_F(RenderProgram, WritesThePictureAndTheLinesAndSaysWhat) {
    WriteSound(dir.File("t.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1,
               Tone(700, 11025, 1.0));
    // 1 s is (11025 - 556) / 183 + 1 = 58 windows of the default settings.
    const Outcome r = Program("t.wav --lines t.f32");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("t.png: 128 x 330 pixels, 58 columns of 280 points"), std::string::npos)
        << r.err;
    EXPECT_EQ(std::filesystem::file_size(dir.File("t.f32")), 58u * 280 * 4);
    // The lines are the analysis's values: the tone's point is the largest of a line.
    std::ifstream lines(dir.File("t.f32"), std::ios::binary);
    std::vector<float> line(280);
    lines.seekg(40 * 280 * 4);
    lines.read(reinterpret_cast<char*>(line.data()), 280 * 4);
    const auto top = std::max_element(line.begin(), line.end()) - line.begin();
    EXPECT_NEAR(double(top), (700.0 - 40) * 279 / (1200.0 - 40), 1.0);
    EXPECT_EQ(Files(), (std::vector<std::string>{"t.f32", "t.png", "t.wav"}));
    EXPECT_EQ(Program("t.wav -o q.png --quiet").err, "");
}

// A batch tool keeps the code-page table in memory: started from a folder, it writes no table
// file into it.
TEST_F(RenderProgram, LeavesItsOwnFolderAlone) {
    WriteSound(dir.File("t.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1,
               Tone(700, 11025, 0.2));
    std::filesystem::create_symlink(KAVREL_RENDER, dir.File("kavrel-render"));
    ASSERT_EQ(std::system(("cd " + dir.Dir() + " && ./kavrel-render t.wav --quiet").c_str()), 0);
    EXPECT_EQ(Files(), (std::vector<std::string>{"kavrel-render", "t.png", "t.wav"}));
}

TEST_F(RenderProgram, RefusesBadInputOutputAndOptionsWithStatusTwo) {
    WriteSound(dir.File("t.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 2,
               Tone(700, 11025, 1.0, 2));
    std::ifstream in(dir.File("t.wav"), std::ios::binary);
    std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    dir.Write("cut.wav", wav.substr(0, 30));
    std::string corrupt = wav;
    corrupt[22] = 0; // no channels in the format chunk
    dir.Write("corrupt.wav", corrupt);
    dir.Write("text.wav", "Fmin = 40\n");
    std::filesystem::create_directory(dir.File("folder.wav"));

    ExpectRefused("missing.wav", "cannot open missing.wav", false);
    ExpectRefused("folder.wav", "is not a file", false);
    ExpectRefused("text.wav", "not a sound file", false);
    ExpectRefused("cut.wav", "not a sound file", false);
    ExpectRefused("corrupt.wav", "not a sound file", false);
    ExpectRefused("t.wav --channel 3", "the file has 2 channel(s); channel 3", false);
    WriteSound(dir.File("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1,
               Tone(700, 11025, 1.0));
    ExpectRefused("mono.wav --channel 2", "the file has 1 channel(s); channel 2", false);
    EXPECT_EQ(Program("mono.wav --channel right -o mono.png").status, 0); // as in the viewer
    std::filesystem::remove(dir.File("mono.png"));
    ExpectRefused("t.wav --from 5", "holds no samples", false);
    ExpectRefused("t.wav --to 0.02", "shorter than one analysis window", false);
    ExpectRefused("t.wav --ini none.ini", "cannot read the settings file none.ini", false);
    ExpectRefused("t.wav -o no/such/dir/t.png", "cannot write no/such/dir/t.png", false);
    ExpectRefused("t.wav --lines no/t.f32", "cannot write no/t.f32", false);
    ExpectRefused("", "no input file given", true);
    ExpectRefused("t.wav t.wav", "more than one input", true);
    ExpectRefused("t.wav --bogus", "unknown option --bogus", true);
    ExpectRefused("t.wav --width", "--width needs a value", true);
    ExpectRefused("t.wav --width 0", "bad value for --width", true);
    ExpectRefused("t.wav --width 16315", "--width is at most 16314", true);
    ExpectRefused("t.wav --channel 0", "bad value for --channel", true);
    ExpectRefused("t.wav --channel middle", "bad value for --channel", true);
    ExpectRefused("t.wav --from -1", "bad value for --from", true);
    ExpectRefused("t.wav --to nan", "bad value for --to", true);
    ExpectRefused("t.wav --from 0.5 --to 0.4", "--to must be later than --from", true);
    const Outcome help = Program("--help");
    EXPECT_EQ(help.status, 0);
}

} // namespace
