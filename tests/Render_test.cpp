// kavrel-render: the same columns as the viewer, the same line for every file format, and clear
// refusals of bad input and options.
#include "Levels.h"
#include "ProgramRun.h"
#include "Progress.h"
#include "Render.h"
#include "SoundFile.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
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

TEST_F(Render, ASpanIsReadFromItsTimeAndLongSoundsGetColumnsOfSeveralWindows) {
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

    // 6 s are 359 windows of 556 samples 183 apart: 4 windows a column, 90 columns. A burst
    // of 700 Hz in faint noise, 170 samples long, falls between the first windows of columns 40 and
    // 41 (samples 29280 and 30012): it shows in column 40, whose other windows hold it.
    std::vector<int16_t> samples(whole.samples.size());
    uint32_t noise = 1;
    for (size_t n = 0; n < samples.size(); ++n) {
        noise = noise * 1664525u + 1013904223u;
        const bool burst = n >= 29840 && n < 30010;
        samples[n] = int16_t(int(noise >> 30) - 2 +
                             (burst ? std::lround(16000 * std::sin(2 * Pi * 700 * n / 11025)) : 0));
    }
    RenderJob job;
    job.maxColumns = 100;
    const RenderPicture narrow = RenderSamples(samples, job);
    ASSERT_TRUE(narrow.ok);
    EXPECT_EQ(narrow.hopsPerColumn, 4u);
    EXPECT_EQ(narrow.columns, 90u);
    EXPECT_EQ(narrow.width, 90u + Left);
    const auto row = uint32_t(std::lround((700.0 - 40) * (narrow.rows - 1) / (1200.0 - 40)));
    uint32_t brightest = 0, level = 0;
    for (uint32_t x = 0; x < narrow.columns; ++x) {
        const uint32_t v = narrow.pixels[size_t(narrow.rows - 1 - row) * narrow.width + Left + x];
        if ((v & 0xFF) > level) level = v & 0xFF, brightest = x;
    }
    EXPECT_EQ(brightest, 40u);
    EXPECT_GT(level, 100u);
    // The peak has risen through every window as the viewer's does.
    EXPECT_EQ(narrow.peak, RenderSamples(samples, RenderJob{}).peak);
    // In heat colours the burst is coloured, the scales' band left of the columns is not.
    job.palette = Palette::Heat;
    const RenderPicture heat = RenderSamples(samples, job);
    size_t grey = 0; // a pixel of the columns neither black nor white
    for (size_t i = 0; i < narrow.pixels.size() && grey == 0; ++i)
        if (i % narrow.width >= Left && (narrow.pixels[i] & 0xFF) % 255 != 0) grey = i;
    ASSERT_NE(grey, 0u);
    EXPECT_NE(heat.pixels[grey], narrow.pixels[grey]);
    EXPECT_EQ(heat.pixels[0], narrow.pixels[0]);
}

std::string Contents(FILE* file) {
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes.push_back(char(c));
    return bytes;
}

TEST_F(Render, AnyNumberOfWorkersKeepsPicturePeakAndLinesBitForBit) {
    const std::vector<float> tone = Tone(450, RenderRate, 20.0);
    std::vector<int16_t> samples(tone.size());
    for (size_t n = 0; n < samples.size(); ++n)
        samples[n] = int16_t(std::lround(tone[n] * 32767));
    RenderPicture alone;
    std::string aloneLines;
    for (const uint32_t jobs : {1u, 2u, 3u}) {
        FILE* lines = std::tmpfile();
        RenderJob job;
        job.jobs = jobs;
        job.lines = lines;
        const RenderPicture p = RenderSamples(samples, job);
        const std::string bytes = Contents(lines);
        std::fclose(lines);
        ASSERT_TRUE(p.ok) << jobs;
        // (220500 - 556) / 183 + 1 windows: five batches, dealt round 1, 2 and 3 workers.
        ASSERT_EQ(p.columns, 1202u);
        EXPECT_EQ(bytes.size(), size_t(1202) * 280 * 4);
        if (jobs == 1) alone = p, aloneLines = bytes;
        EXPECT_EQ(p.peak, alone.peak) << jobs;
        EXPECT_TRUE(p.pixels == alone.pixels) << jobs;
        EXPECT_TRUE(bytes == aloneLines) << jobs;
    }
    // A sound that ends before the length counted at first (a file cut while being read).
    struct Shrinking : SampleSource {
        const std::vector<int16_t>& samples;
        explicit Shrinking(const std::vector<int16_t>& s) : samples(s) {}
        size_t Read(int16_t* to, size_t most) override {
            const size_t n = std::min(most, samples.size() / 2 - at);
            std::copy_n(samples.data() + at, n, to);
            return at += n, n;
        }
        size_t at = 0;
    } shrinking(samples);
    const RenderPicture cut = RenderStream(shrinking, samples.size(), RenderJob{});
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.message.find("the input changed while being read"), std::string::npos);
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

// 100 windows a second for 10 s, then 10 a second for 10 s: 900 left are more than 30 s away
// (the average since the start, 55 a second, would say 16 s).
TEST(RenderProgress, TheTimeLeftFollowsTheRecentRate) {
    FILE* to = std::tmpfile();
    const auto start = Progress::Clock::now();
    Progress bar(to, 2000, start);
    for (int s = 1; s <= 20; ++s)
        bar.Show(s <= 10 ? 100 * s : 1000 + 10 * (s - 10), start + std::chrono::seconds(s));
    const std::string shown = Contents(to);
    std::fclose(to);
    const size_t end = shown.rfind(" s left");
    ASSERT_NE(end, std::string::npos) << shown;
    EXPECT_GT(std::stod(shown.substr(shown.rfind("%", end) + 1, end)), 30.0) << shown;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The decibel scale spans its range below the peak; the heat map goes from black to white,
// each colour at least as light as the one before (luminance of the sRGB primaries).
TEST(RenderLevels, DecibelsSpanTheRangeAndHeatColoursGrowLighter) {
    EXPECT_EQ(DecibelLevel(100.0f, 100.0f, 80.0), 255u);
    EXPECT_EQ(DecibelLevel(1e-6f, 100.0f, 80.0), 0u);
    EXPECT_EQ(DecibelLevel(1.0f, 100.0f, 40.0), 127u); // 20 dB below over 40 dB
    EXPECT_EQ(DecibelLevel(1.0f, 0.0f, 80.0), 0u);
    EXPECT_EQ(DecibelLevel(std::nanf(""), 1.0f, 80.0), 0u);
    EXPECT_EQ(HeatColour(0), 0u);
    EXPECT_EQ(HeatColour(255), 0xFFFFFFu);
    double previous = -1.0;
    bool coloured = false;
    for (uint32_t level = 0; level < 256; ++level) {
        const uint32_t c = HeatColour(level);
        const double r = c >> 16, g = c >> 8 & 0xFF, b = c & 0xFF;
        const double light = 0.2126 * r + 0.7152 * g + 0.0722 * b;
        EXPECT_GE(light, previous) << level;
        previous = light;
        coloured = coloured || r != g || g != b;
    }
    EXPECT_TRUE(coloured);
}

// Runs kavrel-render with arguments (already quoted) in the test's directory.
struct Outcome {
    int status;
    std::string err;
};

class RenderProgram : public testing::Test {
protected:
    // prefix: a shell command before the program's, such as a limit.
    Outcome Program(const std::string& args, const std::string& prefix = "") {
        const std::string errFile = dir.File("stderr.txt");
        const std::string command = "cd " + dir.Dir() + " && " + prefix + KAVREL_RENDER " " + args +
                                    " 2>" + errFile + " >/dev/null";
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

// A link's target is replaced and the link kept, with a plain new file's mode; a FIFO and
// standard output are written as streams; a name as long as the folder allows is no problem.
TEST_F(RenderProgram, OutputsReplaceFilesAtomicallyAndStreamEverythingElse) {
    WriteSound(dir.File("t.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1,
               Tone(700, 11025, 1.0));
    dir.Write("target.png", "old");
    std::filesystem::create_symlink("target.png", dir.File("link.png"));
    mkfifo(dir.File("pipe").c_str(), 0600);
    const std::string longName(250, 'n');
    ASSERT_EQ(Program("t.wav -q -o link.png --lines pipe & timeout 20 cat " + dir.File("pipe") +
                      " >" + dir.File("lines.f32") + "; wait")
                  .status,
              0);
    ASSERT_EQ(Program("t.wav -q -o - | tee stdout.png").status, 0);
    ASSERT_EQ(Program("t.wav -q -o " + longName).status, 0);
    // Through /dev/fd a file is written in place (its inode kept), a pipe as a stream.
    dir.Write("fd.png", "old");
    const auto inode = [this](const char* name) {
        struct stat st {};
        return stat(dir.File(name).c_str(), &st) == 0 ? st.st_ino : 0;
    };
    const ino_t before = inode("fd.png");
    ASSERT_EQ(Program("t.wav -q -o /dev/fd/3 3<>fd.png").status, 0);
    ASSERT_EQ(Program("t.wav -q -o /dev/fd/3 3>&1 | tee fdpipe.png").status, 0);
    EXPECT_EQ(inode("fd.png"), before);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.png")));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("pipe")));
    EXPECT_EQ(std::filesystem::file_size(dir.File("lines.f32")), 58u * 280 * 4);
    const std::string png = Slurp(dir.File("target.png"));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(Slurp(dir.File("stdout.png")), png);
    EXPECT_EQ(Slurp(dir.File(longName)), png);
    EXPECT_EQ(Slurp(dir.File("fd.png")), png);
    EXPECT_EQ(Slurp(dir.File("fdpipe.png")), png);
    const mode_t mask = umask(0);
    umask(mask);
    struct stat st {};
    stat(dir.File("target.png").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(Files().size(), 9u); // no temporary left
}

// The process ids of a process's children.
std::vector<pid_t> Children(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> ids;
    for (pid_t id; in >> id;)
        ids.push_back(id);
    return ids;
}

// Gone, or a zombie nobody reaps (this container's first process reaps no orphans).
bool Gone(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string id, name, state;
    return !(in >> id >> name >> state) || state == "Z";
}

// An interrupted run leaves neither its temporary file nor its worker behind and says which
// signal ended it; a worker whose parent is killed outright ends too.
TEST_F(RenderProgram, SignalsRemoveTemporariesAndEndWorkers) {
    const std::string sound = dir.File("long.wav");
    WriteSound(sound, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1, Tone(700, 11025, 240.0));
    // A reader that stops early (SIGPIPE) leaves no temporary either.
    Program("long.wav -q -o long.png --lines - | head -c 100 >/dev/null");
    EXPECT_EQ(Files(), std::vector<std::string>{"long.wav"});
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        const pid_t pid = fork();
        if (pid == 0) {
            execl(KAVREL_RENDER, KAVREL_RENDER, sound.c_str(), "-q", "--jobs", "3", "-o",
                  dir.File("long.png").c_str(), nullptr);
            _exit(127);
        }
        std::vector<pid_t> workers;
        for (int i = 0; i < 2000 && workers.size() < 3; ++i, usleep(5000))
            workers = Children(pid);
        ASSERT_EQ(workers.size(), 3u) << "the workers did not start";
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        for (const pid_t worker : workers) {
            for (int i = 0; i < 200 && !Gone(worker); ++i)
                usleep(5000);
            EXPECT_TRUE(Gone(worker)) << signal;
        }
        if (signal == SIGKILL) continue;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << signal;
        EXPECT_EQ(Files(), std::vector<std::string>{"long.wav"}) << signal;
    }
}

// A damaged or cut input is drawn as far as it reads, and the run ends with status 1 saying
// where reading stopped; standard input reads as a file does, a span of it too.
TEST_F(RenderProgram, APartialInputIsDrawnAsFarAsItReadsWithStatusOne) {
    const std::vector<float> tone = Tone(700, 11025, 3.0);
    WriteSound(dir.File("t.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1, tone);
    WriteSound(dir.File("t.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 11025, 1, tone);
    const std::string wav = Slurp(dir.File("t.wav"));
    std::string flac = Slurp(dir.File("t.flac"));
    flac.replace(flac.size() / 2, 400, 400, '\0');
    dir.Write("damaged.flac", flac);
    dir.Write("cut.wav", wav.substr(0, wav.size() * 3 / 5));
    for (const char* name : {"damaged.flac", "cut.wav"}) {
        const Outcome r = Program(std::string(name) + " -q -o p.png");
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find("reading stopped at 1."), std::string::npos) << name << r.err;
        EXPECT_NE(r.err.find(name[0] == 'd' ? "decoder" : "cut short"), std::string::npos) << r.err;
        EXPECT_TRUE(std::filesystem::exists(dir.File("p.png"))) << name;
        std::filesystem::remove(dir.File("p.png"));
    }
    ASSERT_EQ(Program("t.wav -q --from 1 -o file.png").status, 0);
    EXPECT_EQ(Program("- -q --from 1 -o stdin.png < t.wav").status, 0);
    mkfifo(dir.File("fifo").c_str(), 0600);
    EXPECT_EQ(Program("- -q --from 1 -o pipe.png < fifo & cat " + dir.File("t.wav") + " >" +
                      dir.File("fifo") + "; wait")
                  .status,
              0);
    EXPECT_EQ(Program("- -q --from 1 -o flac.png < t.flac").status, 0); // any format
    EXPECT_EQ(Program("/dev/stdin -q --from 1 -o named.png", "cat t.wav | ").status, 0);
    // A stream's header need not give its length (sox writes 2 GB there); an endless one is
    // kept only in part (here up to a file-size limit) and drawn as far as it was kept.
    EXPECT_EQ(Program("- -q -o sox.png", "sox -n -r 11025 -t wav - synth 2 sine 440 | ").status, 0);
    const Outcome endless = Program("- -q -o endless.png", "sox -n -r 11025 -b 16 -t wav - synth "
                                                           "100000 sine 440 | prlimit -f2000000 ");
    EXPECT_EQ(endless.status, 1);
    EXPECT_NE(endless.err.find("reading stopped at 90."), std::string::npos) << endless.err;
    EXPECT_NE(endless.err.find("cannot keep more of standard input"), std::string::npos);
    const Outcome nowhere = Program("- -q -o t.png < t.wav", "TMPDIR=" + dir.File("no") + " ");
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_NE(nowhere.err.find("cannot keep standard input in " + dir.File("no")),
              std::string::npos);
    EXPECT_EQ(Slurp(dir.File("stdin.png")), Slurp(dir.File("file.png")));
    EXPECT_EQ(Slurp(dir.File("pipe.png")), Slurp(dir.File("file.png")));
    EXPECT_EQ(Slurp(dir.File("flac.png")), Slurp(dir.File("file.png")));
    EXPECT_EQ(Slurp(dir.File("named.png")), Slurp(dir.File("file.png")));
}

// A header claiming 1 Hz makes half an hour of sound (40 MB of samples) of two kilobytes. It is
// read and analysed as a stream: drawn under a memory limit below the whole sound's size.
TEST_F(RenderProgram, LongSoundsAreDrawnInBoundedMemory) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit in an address-space limit";
#endif
    std::string wav = "RIFF....WAVEfmt " + std::string("\x10\0\0\0\x01\0\x01\0", 8) +
                      std::string("\x01\0\0\0\x01\0\0\0\x01\0\x08\0", 12) + "data" +
                      std::string("\x08\x07\0\0", 4);
    for (int i = 0; i < 1800; ++i)
        wav.push_back(char(128 + 100 * ((i / 3) % 2)));
    dir.Write("slow.wav", wav);
    // The viewer's zoom makes no larger window here (4 x 4 times 2070 x 330 pixels: 44 MB).
    dir.Write("kavrel.ini", "zoom = 4\nwidth = 2000\n");
    const Outcome r = Program("slow.wav -q --step 1 --height 16 --jobs 2", "ulimit -v 40960; ");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, ""); // a picture wider than the screen is no matter for a file
    // Too tight for the resampler (which writes through a failed allocation): a message.
    for (const char* limit : {"16384", "18432"}) {
        const Outcome tight = Program("slow.wav -q --step 1 --height 16 --jobs 1",
                                      std::string("ulimit -v ") + limit + "; ");
        EXPECT_TRUE(tight.status == 2 && !tight.err.empty()) << limit << ": " << tight.status;
    }
}

// The settings on the command line over the file's, in the viewer's limits and with its
// messages naming where a value came from; the decibel scale and the heat map; --quiet,
// --version, --help.
TEST_F(RenderProgram, OptionsSetThePictureAndOnlyErrorsPassQuiet) {
    // A tone at -81 dBFS: all black on the viewer's scale, visible in decibels.
    std::vector<float> quiet = Tone(700, 11025, 1.0);
    for (float& v : quiet)
        v *= 0.0002f;
    WriteSound(dir.File("q.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 11025, 1, quiet);
    dir.Write("kavrel.ini", "height = 100\nFmin = 1\nwidth = 2000\n");
    dir.Write("my.ini", "Fmax = 9000\n");
    Outcome r = Program("q.wav -o plain.png");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("kavrel.ini: Fmin = 1 is outside"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("settings from ./kavrel.ini"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("of 100 points"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("all black"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("work area"), std::string::npos) << r.err; // no screen for a file
    r = Program("q.wav -o db.png --ini my.ini --height 50 --fmin 300 --fmax 900 --step 0.5 "
                "--size 2 --scale db --range 60 --palette heat --lines db.f32");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("my.ini: Fmax = 9000 is outside"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("kavrel.ini"), std::string::npos) << r.err;
    // Fmin 300 Hz: windows of 2 x 74 rounded up to 152 samples, hops of 76: 144 windows.
    EXPECT_NE(r.err.find("144 columns of 50 points"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("all black"), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::file_size(dir.File("db.f32")), 144u * 50 * 4);
    // A file's value that a command-line value puts out of its limits falls back, named so.
    dir.Write("low.ini", "Fmin = 1000\n");
    r = Program("q.wav -o low.png --ini low.ini --fmax 500");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("low.ini: Fmin = 1000 is outside its range 2 <= Fmin < Fmax = 500"),
              std::string::npos)
        << r.err;
    r = Program("q.wav -o quiet.png --ini my.ini -q");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Program("--version | tee version.txt").status, 0);
    EXPECT_EQ(Slurp(dir.File("version.txt")).rfind("kavrel-render ", 0), 0u);
    EXPECT_EQ(Program("--help | tee help.txt").status, 0);
    for (const char* option : {"-o ", "--ini", "--channel", "--width", "--from", "--to", "--lines",
                               "--fmin", "--fmax", "--height", "--step", "--size", "--scale",
                               "--range", "--palette", "--jobs", "--quiet", "--version", "--help"})
        EXPECT_NE(Slurp(dir.File("help.txt")).find(option), std::string::npos) << option;
}

// A folder of files through GNU parallel, as the README shows: every picture made, and a file
// that fails counted in parallel's exit status.
TEST_F(RenderProgram, GnuParallelRendersAFolderAndCountsFailures) {
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        WriteSound(dir.File(name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1,
                   Tone(700, 11025, 1.0));
    const std::string parallel = "parallel --will-cite ";
    const Outcome r = Program("--jobs 1 --quiet {} -o {.}.png ::: a.wav b.wav c.wav", parallel);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char* name : {"a.png", "b.png", "c.png"})
        EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
    dir.Write("bad.wav", "not a sound");
    EXPECT_EQ(Program("--quiet {} -o {.}.png ::: a.wav bad.wav c.wav", parallel).status, 1);
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
    ExpectRefused("folder.wav", "folder.wav: is a directory", false);
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
    // An output is never a folder, the input however named, or the other output.
    ExpectRefused("t.wav -o folder.wav/", "cannot write folder.wav/: Is a directory", false);
    ExpectRefused("t.wav -o folder.wav", "cannot write folder.wav: Is a directory", false);
    std::filesystem::create_hard_link(dir.File("t.wav"), dir.File("hard.wav"));
    ExpectRefused("t.wav -o hard.wav", "an output is the input", false);
    const auto size = std::filesystem::file_size(dir.File("t.wav"));
    ExpectRefused("t.wav -o /proc/self/fd/3 3>>t.wav", "an output is the input", false);
    EXPECT_EQ(std::filesystem::file_size(dir.File("t.wav")), size); // not emptied through /proc
    ExpectRefused("mono.wav --lines ./folder.wav/../mono.wav", "an output is the input", false);
    ExpectRefused("t.wav -o x.png --lines folder.wav/../x.png", "would be the same file", false);
    for (const char* full : {"-o /dev/full", "--lines /dev/full"})
        ExpectRefused(std::string("t.wav ") + full,
                      "cannot write /dev/full: No space left on device", false);
    ExpectRefused("t.wav --lines no/t.f32", "cannot write no/t.f32", false);
    ExpectRefused("", "no input file given", true);
    ExpectRefused("- < t.wav", "standard input as input needs -o", true);
    ExpectRefused("t.wav t.wav", "more than one input", true);
    ExpectRefused("t.wav --bogus", "unknown option --bogus", true);
    ExpectRefused("t.wav --width", "--width needs a value", true);
    ExpectRefused("t.wav --width 0", "bad value for --width", true);
    ExpectRefused("t.wav --width 16315", "--width: 16315 (a whole number from 1 to 16314)", true);
    ExpectRefused("t.wav --jobs 0", "bad value for --jobs: 0 (a whole number from 1 to 256)", true);
    ExpectRefused("t.wav --jobs 257", "bad value for --jobs: 257 (a whole number from", true);
    ExpectRefused("t.wav --channel 0", "bad value for --channel", true);
    ExpectRefused("t.wav --channel middle", "bad value for --channel", true);
    ExpectRefused("t.wav --from -1", "bad value for --from", true);
    ExpectRefused("t.wav --to nan", "bad value for --to", true);
    ExpectRefused("t.wav --from 0.5 --to 0.4", "--to must be later than --from", true);
    ExpectRefused("t.wav --ini folder.wav", "cannot read the settings file folder.wav: Is a",
                  false);
    ExpectRefused("t.wav --fmin x", "bad value for --fmin", true);
    ExpectRefused("t.wav --range 0", "bad value for --range: 0 (decibels, more than 0", true);
    ExpectRefused("t.wav --range 1001", "--range: 1001 (decibels, more than 0 and at most 1000)",
                  true);
    // A setting out of its limits is refused on the command line (in a settings file it falls
    // back to its default), with the value as written and the range.
    ExpectRefused("t.wav --fmin 1", "--fmin 1 is outside its range 2 <= Fmin < 5512", false);
    ExpectRefused("t.wav --fmax 6e3", "--fmax 6e3 is outside its range 0 < Fmax <= 5512", false);
    ExpectRefused("t.wav --fmin 900 --fmax 500", "--fmin 900 is outside its range 2 <= Fmin < Fmax",
                  false);
    ExpectRefused("t.wav --height 2001", "--height 2001 is outside its range 2 <= height < 2001",
                  false);
    ExpectRefused("t.wav --step 1.5", "--step 1.5 is outside its range", false);
    ExpectRefused("t.wav --size 0.001", "--size 0.001 is outside its range", false);
    ExpectRefused("t.wav --scale log", "bad value for --scale", true);
    ExpectRefused("t.wav --palette jet", "bad value for --palette", true);
    const Outcome help = Program("--help");
    EXPECT_EQ(help.status, 0);
}

} // namespace
