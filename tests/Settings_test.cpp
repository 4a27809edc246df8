#include "Preobrazovaniechisel.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TSettings Read(const std::vector<std::string>& lines) {
    TSettings s;
    SetSettingsDefaults(s);
    for (const std::string& line : lines)
        ApplySettingsLine(s, line.c_str());
    return s;
}

// The settings kept inside their limits, and what was said on standard error.
TSettings Kept(TSettings s, std::string& said) {
    testing::internal::CaptureStderr();
    KeepSettingsInLimits(s, 11025, stderr);
    said = testing::internal::GetCapturedStderr();
    return s;
}

TDerivedSizes Sizes(const std::vector<std::string>& lines) {
    std::string said;
    return DeriveSizes(Kept(Read(lines), said), 11025);
}

int Lines(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

TEST(Settings, DefaultsGiveTheDocumentedSizesAndRecord) {
    const TDerivedSizes d = Sizes({});
    EXPECT_EQ(d.N, 552u);
    EXPECT_EQ(d.H, 183u); // the product 552 x step lies just below 184
    EXPECT_EQ(d.Rows, 280u);
    EXPECT_EQ(d.Cols, 600u);
    EXPECT_NEAR(d.TimeFrom, -9.9426, 5e-5);
    TSettings s;
    SetSettingsDefaults(s);
    ConfigRecord record{};
    FillConfigRecord(record, s, d, 11025);
    // The record is packed: its fields are compared as copies, never bound by reference.
    EXPECT_EQ(uint32_t{record.SampleCount}, 552u);
    EXPECT_EQ(uint32_t{record.LagCount}, 138u);
    EXPECT_EQ(uint32_t{record.PointCount}, 280u);
    EXPECT_EQ(uint32_t{record.UnbiasedCorrelation}, 0u);
    EXPECT_EQ(double{record.FreqStart}, 40.0);
    EXPECT_EQ(double{record.FreqStop}, 1200.0);
    EXPECT_EQ(double{record.SamplePeriod}, 1.0 / 11025);
}

TEST(Settings, LinesAreParsedAsKeyEqualsValue) {
    EXPECT_EQ(Read({"size=50%"}).Size, 0.5);
    EXPECT_EQ(Read({"size = 50 %"}).Size, 0.5);
    EXPECT_EQ(Read({"Fmin = 10"}).Fmin, 10.0);
    EXPECT_EQ(Read({"fmin=10"}).Fmin, 40.0); // keys are case-sensitive
    EXPECT_EQ(Read({"Fmin=abc"}).Fmin, 0.0); // not number text: 0
    EXPECT_EQ(Read({"colour=7", "Fmin"}).Fmin, 40.0);
    EXPECT_EQ(Read({"Fmax=900", "Fmax=1000"}).Fmax, 1000.0); // the last line wins
    EXPECT_EQ(Read({"\"step\"=\"0.5\""}).Step, 0.5);
    EXPECT_EQ(Read({"height=300.9"}).Height, 300.9);
    EXPECT_EQ(Read({"width=1e3"}).Width, 1000.0);
    EXPECT_EQ(Read({"zoom = 2"}).Zoom, 2.0);
    EXPECT_EQ(Read({}).Zoom, 0.0); // the screen's
}

TEST(Settings, DerivedSizesFollowTheirRoundings) {
    const TDerivedSizes half = Sizes({"size=50%"});
    EXPECT_EQ(half.N, 276u);                   // 551 x 0.5 = 275.5 -> 275 -> 276
    EXPECT_EQ(half.H, 91u);                    // 91.999... truncated
    EXPECT_EQ(Sizes({"Fmin=55.125"}).N, 404u); // E 400 exactly, a multiple of 4 gains 4
    const TDerivedSizes tall = Sizes({"height=300.9"});
    EXPECT_EQ(tall.Rows, 300u);
    EXPECT_EQ(Sizes({"Fmin=36.75"}).N, 604u); // E 600.0
    EXPECT_EQ(Sizes({"step=1"}).H, 552u);
}

TEST(Settings, ValuesInsideTheLimitsAreKeptSilently) {
    std::string said;
    const TSettings s = Kept(Read({"Fmin=2", "Fmax=5512.5", "height=2000.9", "width=4000",
                                   "size=1.4", "step=1", "zoom=4"}),
                             said);
    EXPECT_EQ(said, "");
    EXPECT_EQ(ZoomFactor(s), 4u);
    EXPECT_EQ(s.Fmin, 2.0);
    EXPECT_EQ(s.Fmax, 5512.5);
    const TDerivedSizes d = DeriveSizes(s, 11025);
    EXPECT_EQ(d.N, 15436u); // E 11025 x 1.4 lies just below 15435
    EXPECT_EQ(d.H, d.N);
    EXPECT_EQ(d.Rows, 2000u);
    EXPECT_EQ(d.Cols, 4000u);
    // The largest window: E 551 x size just below 16384 / 551.
    EXPECT_EQ(Sizes({"size=29.7332"}).N, 16384u);
    EXPECT_EQ(Sizes({"Fmin=5512", "Fmax=5512.5"}).N, 8u);
}

TEST(Settings, EachValueOutsideItsLimitsFallsBackToItsDefaultWithOneLine) {
    struct Case {
        std::string line;
        std::string said; // how the line's complaint starts, after the file's name
        double TSettings::*field;
        double fallback;
    };
    const std::string range = " is outside its range ", nan = " is not a number; the default ";
    const Case cases[] = {
        {"Fmin=0", "Fmin = 0" + range, &TSettings::Fmin, 40.0},
        {"Fmin=1.9", "Fmin = 1.9" + range, &TSettings::Fmin, 40.0},
        {"Fmin=abc", "Fmin = abc" + nan, &TSettings::Fmin, 40.0},
        {"Fmin=100 Hz", "Fmin = 100 Hz" + nan, &TSettings::Fmin, 40.0},
        {"Fmin=1300", "Fmin = 1300" + range, &TSettings::Fmin, 40.0}, // not below Fmax
        {"Fmax=0", "Fmax = 0" + range, &TSettings::Fmax, 1200.0},
        {"Fmax=5513", "Fmax = 5513" + range, &TSettings::Fmax, 1200.0},
        {"Fmax=+3000", "Fmax = +3000" + nan, &TSettings::Fmax, 1200.0},
        {"Fmax=1e400", "Fmax = 1e400" + range, &TSettings::Fmax, 1200.0},
        {"Fmax=30", "Fmax = 30" + range, &TSettings::Fmax, 1200.0}, // not above the default Fmin
        {"size=0", "size = 0" + range, &TSettings::Size, 1.0},
        {"size=-1", "size = -1" + range, &TSettings::Size, 1.0},
        {"size=29.7359", "size = 29.7359" + range, &TSettings::Size, 1.0}, // a window of 16388
        {"size=1e307", "size = 1e307" + range, &TSettings::Size, 1.0},
        {"step=0", "step = 0" + range, &TSettings::Step, 0x1.5555555555555p-2},
        {"step=0.001", "step = 0.001" + range, &TSettings::Step, 0x1.5555555555555p-2}, // hop 0
        {"step=1.01", "step = 1.01" + range, &TSettings::Step, 0x1.5555555555555p-2},
        {"height=1.9", "height = 1.9" + range, &TSettings::Height, 280.0},
        {"height=2001", "height = 2001" + range, &TSettings::Height, 280.0},
        {"height=50%", "height = 50%" + range, &TSettings::Height, 280.0},
        {"width=x", "width = x" + nan, &TSettings::Width, 600.0},
        {"width=400 ; note", "width = 400 ; note" + nan, &TSettings::Width, 600.0},
        {"width=a\x01\x1B[2Jb", "width = a??[2Jb" + nan, &TSettings::Width, 600.0},
        {"width=" + std::string(50, '7'), "width = " + std::string(36, '7') + "..." + range,
         &TSettings::Width, 600.0},
        {"width=4001", "width = 4001" + range, &TSettings::Width, 600.0},
        {"width=-1e307", "width = -1e307" + range, &TSettings::Width, 600.0},
        {"zoom=0", "zoom = 0" + range, &TSettings::Zoom, 0.0}, // 0 stands for the screen's
        {"zoom=5", "zoom = 5" + range, &TSettings::Zoom, 0.0},
        {"zoom=1.5", "zoom = 1.5" + range, &TSettings::Zoom, 0.0},
        {"zoom=two", "zoom = two" + nan, &TSettings::Zoom, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string said;
        const TSettings s = Kept(Read({c.line}), said);
        EXPECT_EQ(s.*c.field, c.fallback);
        EXPECT_EQ(Lines(said), 1) << said;
        EXPECT_EQ(said.find("kavrel.ini: " + c.said), 0u) << said;
        const TDerivedSizes d = DeriveSizes(s, 11025);
        EXPECT_GE(d.N, 8u);
        EXPECT_LE(d.N, 16384u);
        EXPECT_GE(d.H, 1u);
        EXPECT_LE(d.H, d.N);
    }
}

TEST(Settings, ComplaintsNameTheirFileAndWriteNumbersAsTheLocaleDoes) {
    for (const char* separator : {",", "."}) {
        FillNumberSymbols(separator);
        TSettings s = Read({"Fmax=6000", "step=2"});
        testing::internal::CaptureStderr();
        KeepSettingsInLimits(s, 11025, stderr, "my.ini");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("my.ini: Fmax = 6000 is outside its range 0 < Fmax <= 5512") +
                      separator + "5; the default 1200 is used\nmy.ini: step = 2 is outside its " +
                      "range 0" + separator + "001812 <= step <= 1 (hops of 1 to 552 samples); " +
                      "the default 0" + separator + "333333 is used\n");
    }
}

TEST(Settings, AFrequencyPairOutOfOrderBlamesTheValueThatWasWritten) {
    std::string said;
    TSettings s = Kept(Read({"Fmin=2000", "Fmax=1500"}), said);
    EXPECT_EQ(s.Fmin, 40.0);
    EXPECT_EQ(s.Fmax, 1500.0);
    EXPECT_NE(said.find("Fmin = 2000"), std::string::npos);
    s = Kept(Read({"Fmin=40", "Fmax=40"}), said);
    EXPECT_EQ(s.Fmax, 1200.0);
    EXPECT_NE(said.find("Fmax = 40"), std::string::npos);
    EXPECT_EQ(Lines(said), 1);
}

} // namespace
