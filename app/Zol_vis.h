// The control window: Pause/Continue and the choice of channel. It owns the settings and the
// sizes derived from them, opens the sound-capture device, and on every 50 ms tick moves the
// captured samples through the engine into the picture window.
#pragma once

#include "Settings.h"
#include "TOdnokanalniyBufer.h"
#include "Tstring.h"
#include "platform/Capture.h"
#include "platform/Display.h"
#include "platform/Forms.h"

#include <chrono>

class TTekstoviyFayl;

class TfrmMain : public TForm {
public:
    // Builds the window, reads kavrel.ini, derives the sizes, creates the picture window and
    // initialises the engine. The capture device is opened by FormCreate.
    // settingsPath names the settings file (kavrel-render passes its --ini file); zoom 0 takes
    // the windows' zoom from the settings or the screen (kavrel-render, which shows no window,
    // asks for 1).
    explicit TfrmMain(TComponent* owner, const char* settingsPath = "kavrel.ini",
                      uint32_t zoom = 0);
    // The sizes, picture window, FIFOs, axes and engine configuration of Settings (which must
    // have passed KeepSettingsInLimits): again after kavrel-render changes them.
    void ApplySettings();
    ~TfrmMain() override;

    void FormCreate(void* sender);
    void FormDestroy(void* sender);
    void bnPauzaClick(void* sender);
    void rbLeftChannelClick(void* sender);
    void rbRightChannelClick(void* sender);
    void tmrShowTimer(void* sender);
    // Asks for the default capture device and opens it (see TDevice); also tmrDevice's tick.
    void LookForDevice();
    // The sound captured since the last read, the selected channel only, into SampleFifo. False
    // when the capture buffer could not be locked (the next read asks again from ReadOffset);
    // a device that is gone is released and looked for again.
    bool ReadCapture();
    using TClock = std::chrono::steady_clock;
    // Every complete window of SampleFifo through the engine, each spectrum line into
    // LineFifo, until the budget is spent once the least have been analysed (the rest waits).
    // False when the line array could not be sized.
    bool RunEngine(TClock::duration budget = TClock::duration::max(), uint32_t least = 0);
    // RunEngine within one tick's share of time, the oldest windows dropped when those waiting
    // hold more than half a second of sound and more than that share can analyse (said once on
    // standard error).
    bool RunEngineInTime();
    // One line of kavrel.ini; userData is the form. False (stop reading) without a form.
    static bool SettingsLineHandler(const char* line, TTekstoviyFayl* reader, void* userData);

    TButton* bnPauza;
    TGroupBox* gbChannel;
    TRadioButton* rbLeftChannel;
    TRadioButton* rbRightChannel;
    TTimer* tmrShow;
    TTimer* tmrDevice; // asks for the capture device again while there is none

    bool ComInitialised = false;
    IDirectSoundCapture* Capture = nullptr;
    IDirectSoundCaptureBuffer* CaptureBuffer = nullptr;
    WAVEFORMATEX CaptureFormat{};
    DSCBUFFERDESC CaptureBufferDesc{};
    uint32_t Rows = 0;
    uint32_t Cols = 0;
    RECT PictureRect{};
    double TimeFrom = 0.0, TimeTo = 0.0;
    double FreqFrom = 0.0, FreqTo = 0.0;
    uint32_t Channel = 0;
    uint32_t ChannelCount = 0;
    uint32_t SampleRate = 0;
    uint32_t ReadOffset = 0;
    TOdnokanalniyBufer<short, short> SampleFifo;
    TOdnokanalniyBufer<float, float> LineFifo;
    float Peak = 0.0f;
    float Gain = 0.0f;
    TSettings Settings{};
    TAnsiString SettingsPath; // the file read, named by complaints about it
    TDerivedSizes Sizes{};
    uint32_t Zoom = 1; // both windows' pixels per picture pixel (ZoomFactor)
    // What one window's analysis takes, on average over recent ticks (0: not known yet).
    TClock::duration WindowTime{};
    bool SaidSkipping = false;
    // The capture device: Asking while the first answer is awaited, Absent when there was none
    // from the start, Open, Lost when it stopped delivering (both looked for every second in
    // the first minute, every five seconds after it).
    enum class TDevice { Asking, Absent, Open, Lost };
    TDevice Device = TDevice::Asking;
    uint32_t LookingMs = 0;       // how long the device has been looked for, by the looks' spacing
    uint64_t QuietTicks = 0;      // running ticks since the capture position last moved
    uint64_t QuietAtStart = 0;    // of them, those before capture last started
    bool HeardSinceStart = false; // sound came since capture last started
    uint64_t SilentLines = 0;     // black lines given for those ticks, once the device was lost
    bool AwaitingSound = false;   // the loss was said, sound coming again not yet

    // The drawing steps of a tick, on the picture window's back buffer (which DrawPicture
    // takes): the picture moved `lines` columns left, the waiting lines (at most `count` of
    // them) written as columns from `first` on (pixels null: taken but not drawn), both scales
    // repainted.
    void DrawPicture();
    // The picture window for Rows x Cols with its scale bands (again after Cols changes).
    void CreatePicture();
    void SayIfLargerThanWorkArea();
    // The grey scale's peak falls by one tick's share.
    void DecayPeak();
    void ScrollPicture(IDirectDrawSurface* surface, uint32_t lines);
    void DrawColumns(const DDSURFACEDESC* pixels, uint32_t first, uint32_t count = UINT32_MAX);
    void DrawScales();

private:
    void CreateComponents();
    void PlaceInWorkArea();
    void OpenCapture();
    void StartCapture();
    void ReleaseCapture();
    void LookAgainIn(UINT milliseconds);
    void DeviceLost();
    void WatchDelivery(bool delivered);
    void AppendLine(const TOdnomernoeMnogestvoElementov<float>& line);
};

extern TfrmMain* frmMain;

// The grey level of a value against the peak and gain: 0 without a peak, at most 255.
uint32_t GreyLevel(float value, float peak, float gain);
