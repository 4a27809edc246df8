#include "Zol_vis.h"

#include "Risovanieshkal.h"
#include "Tfrmizobragenie.h"
#include "Ttekstoviyfayl.h"
#include "zol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

TfrmMain* frmMain = nullptr;

namespace {

constexpr uint32_t FifoGranularity = 128;
constexpr uint32_t ScaleWidth = 70, ScaleHeight = 50;
constexpr double PeakDecay = 0.95;
constexpr DWORD CaptureSeconds = 10;
// The part of a 50 ms tick that analysis may take: drawing and the user's clicks get the rest.
constexpr auto TickAnalysis = std::chrono::milliseconds(30);
constexpr uint32_t TicksPerSecond = 20;
// Running ticks without a move of the capture position before the device counts as lost; a
// device just started may take a few seconds to deliver its first sound.
constexpr uint64_t QuietTicksOfALostDevice = TicksPerSecond,
                   QuietTicksBeforeFirstSound = 5 * TicksPerSecond;
// A tick analyses this many windows whatever they take (fewer when one tick's sound brings
// fewer), so that a tick the system holds up does not leave them to the next one.
constexpr uint32_t LeastWindowsPerTick = 4;
// How often a device is asked again: while it is finding out whether there is one, and while
// there is none: every second in the first minute, so that one plugged in is taken up at once,
// then every five seconds, since each look starts the sound system afresh.
constexpr UINT AskAgainMs = 200, LookAgainMs = 1000, LookLaterMs = 5000;
constexpr uint32_t LookOftenMs = 60000;

// The whole part of a line's largest value as the unsigned integer it is compared as.
float WholePart(float value) {
    if (!(value >= 1.0f)) return 0.0f;
    return value >= 4294967296.0f ? 4294967295.0f : float(uint32_t(value));
}

bool AllFinite(const TOdnomernoeMnogestvoElementov<float>& line) {
    for (uint32_t k = 0; k < line.Count(); ++k)
        if (!std::isfinite(line[k])) return false;
    return true;
}

} // namespace

uint32_t GreyLevel(float value, float peak, float gain) {
    if (peak == 0.0f) return 0;
    const long double level = static_cast<long double>(value) * 255 * gain / peak;
    if (!(level > 0)) return 0;
    return level >= 255 ? 255 : uint32_t(level);
}

TfrmMain::TfrmMain(TComponent* owner, const char* settingsPath, uint32_t zoom)
    : TForm(owner, bsSingle), SampleFifo(1, 1, FifoGranularity, false),
      LineFifo(1, 1, FifoGranularity, false) {
    CreateComponents();
    SetSettingsDefaults(Settings);
    SettingsPath = TAnsiString(settingsPath);
    TTekstoviyFayl settingsFile{TAnsiString(settingsPath)};
    settingsFile.SetLineHandler(SettingsLineHandler, this);
    settingsFile.ReadLines();
    if (settingsFile.Utf16()) {
        const std::string said = std::string(settingsPath) +
                                 ": the file is saved as UTF-16 (Unicode) and is not read; save "
                                 "it as ANSI or UTF-8";
        ProgramMessage(said.c_str());
    }
    SampleRate = 11025;
    KeepSettingsInLimits(Settings, SampleRate, stderr, settingsPath);
    // On a screen of more pixels per inch the window grows with its controls and font, and
    // is placed by its size then.
    Zoom = zoom != 0 ? zoom : ZoomFactor(Settings);
    if (Zoom > 1) ScaleBy(int(Zoom), 1);
    PlaceInWorkArea();
    ChannelCount = 2;
    Channel = 0;
    ReadOffset = 0;
    Gain = 10.0f;
    ApplySettings();
    OnCreate = [this](void* sender) { FormCreate(sender); };
    OnDestroy = [this](void* sender) { FormDestroy(sender); };
}

TfrmMain::~TfrmMain() {
    // The destroy event needs the whole form, so it cannot wait for the base destructor.
    DoDestroy();
}

void TfrmMain::ApplySettings() {
    Sizes = DeriveSizes(Settings, SampleRate);
    Rows = Sizes.Rows;
    Cols = Sizes.Cols;
    CreatePicture();
    SampleFifo.SetBlockLength(Sizes.N);
    SampleFifo.SetAdvance(Sizes.H);
    LineFifo.SetAdvance(Rows);
    LineFifo.SetBlockLength(Rows);
    // Room for the lines AppendLine keeps and drops before it moves them (see there).
    LineFifo.Reserve(uint32_t(std::min<uint64_t>(uint64_t{Cols} * 3 / 2 * Rows, UINT32_MAX)));
    TimeFrom = Sizes.TimeFrom;
    TimeTo = 0.0;
    FreqFrom = Settings.Fmin;
    FreqTo = Settings.Fmax;
    FillConfigRecord(ZolConfig, Settings, Sizes, SampleRate);
    ZOL_DLL_Init(&ZolConfig, false);
}

void TfrmMain::CreatePicture() {
    CreatePictureWindow(&frmIzobragenie, int(Rows + ScaleHeight), int(Cols + ScaleWidth),
                        TAnsiString("Ornalux"), true, false, true, true, int(Zoom));
    PictureRect = {LONG(ScaleWidth), 0, LONG(ScaleWidth + Cols), LONG(Rows)};
}

// Said by the viewer only: a file's picture is never shown on a screen.
void TfrmMain::SayIfLargerThanWorkArea() {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    if (frmIzobragenie != nullptr && (frmIzobragenie->Width > area.right - area.left ||
                                      frmIzobragenie->Height > area.bottom - area.top))
        ProgramMessage("kavrel: the picture window is larger than the work area; the part past "
                       "the screen's edge is not shown");
}

void TfrmMain::CreateComponents() {
    Name = "frmMain";
    SetFormCaption("Vespira 1.2");
    SetFont("MS Sans Serif", -11);
    SetClientWidth(307);
    SetClientHeight(58);
    bnPauza = new TButton(this, this);
    bnPauza->Name = "bnPauza";
    bnPauza->SetBounds(192, 15, 96, 25);
    bnPauza->SetCaption("Pause");
    bnPauza->TabOrder = 0;
    bnPauza->TabStop = true;
    bnPauza->Tag = 0;
    bnPauza->OnClick = [this](void* sender) { bnPauzaClick(sender); };
    gbChannel = new TGroupBox(this, this);
    gbChannel->Name = "gbChannel";
    gbChannel->SetBounds(16, 8, 137, 41);
    gbChannel->SetCaption(" Audio channel: ");
    gbChannel->TabOrder = 1;
    rbLeftChannel = new TRadioButton(this, gbChannel);
    rbLeftChannel->Name = "rbLeftChannel";
    rbLeftChannel->SetBounds(16, 16, 49, 17);
    rbLeftChannel->SetCaption("Left");
    rbLeftChannel->SetChecked(true);
    rbLeftChannel->TabOrder = 0;
    rbLeftChannel->TabStop = true;
    rbLeftChannel->OnClick = [this](void* sender) { rbLeftChannelClick(sender); };
    rbRightChannel = new TRadioButton(this, gbChannel);
    rbRightChannel->Name = "rbRightChannel";
    rbRightChannel->SetBounds(64, 16, 49, 17);
    rbRightChannel->SetCaption("Right");
    rbRightChannel->TabOrder = 1;
    rbRightChannel->OnClick = [this](void* sender) { rbRightChannelClick(sender); };
    tmrShow = new TTimer(this);
    tmrShow->Name = "tmrShow";
    tmrShow->SetEnabled(false);
    tmrShow->SetInterval(50);
    tmrShow->OnTimer = [this](void* sender) { tmrShowTimer(sender); };
    tmrDevice = new TTimer(this);
    tmrDevice->Name = "tmrDevice";
    tmrDevice->SetEnabled(false);
    tmrDevice->OnTimer = [this](void*) { LookForDevice(); };
}

// The form's frame in the bottom-right corner of the work area.
void TfrmMain::PlaceInWorkArea() {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    SetPosition(area.right - Width, area.bottom - Height);
}

bool TfrmMain::SettingsLineHandler(const char* line, TTekstoviyFayl*, void* userData) {
    if (userData == nullptr) return false;
    auto* form = static_cast<TfrmMain*>(userData);
    ApplySettingsLine(form->Settings, line, stderr, form->SettingsPath.Data());
    return true;
}

void TfrmMain::FormCreate(void*) {
    const HRESULT com = CoInitialize(nullptr);
    if (com == S_OK || com == S_FALSE) ComInitialised = true;
    SayIfLargerThanWorkArea();
    LookForDevice();
    // While the device is still being asked for, the picture shows its scales.
    if (Device == TDevice::Asking && frmIzobragenie != nullptr) DrawPicture();
}

// Opens the default capture device when it can be had, without waiting for an answer: a device
// object that has not decided yet is asked again shortly, a missing device every second (every
// five after a minute).
void TfrmMain::LookForDevice() {
    if (Capture == nullptr)
        CoCreateInstance(CLSID_DirectSoundCapture, nullptr, CLSCTX_ALL, IID_IDirectSoundCapture,
                         reinterpret_cast<void**>(&Capture));
    const HRESULT answer = Capture != nullptr ? Capture->Initialize(nullptr) : DSERR_NODRIVER;
    if (answer == E_PENDING) return LookAgainIn(AskAgainMs);
    if (SUCCEEDED(answer)) OpenCapture();
    if (CaptureBuffer == nullptr) {
        ReleaseCapture();
        if (Device == TDevice::Asking)
            ProgramMessage("kavrel: no sound capture device was found; the picture stays empty");
        if (Device != TDevice::Lost) Device = TDevice::Absent;
        return LookAgainIn(LookAgainMs);
    }
    tmrDevice->SetEnabled(false);
    LookingMs = 0;
    if (Device == TDevice::Absent)
        ProgramMessage("kavrel: a sound capture device was found; the picture starts");
    Device = TDevice::Open;
    ReadOffset = 0;
    if (bnPauza->Tag == 0) StartCapture();
}

void TfrmMain::LookAgainIn(UINT milliseconds) {
    if (milliseconds == LookAgainMs && LookingMs >= LookOftenMs) milliseconds = LookLaterMs;
    LookingMs = uint32_t(std::min<uint64_t>(uint64_t{LookingMs} + milliseconds, UINT32_MAX));
    tmrDevice->SetInterval(milliseconds);
    tmrDevice->SetEnabled(true);
}

// Asks for ten seconds of 16-bit PCM at SampleRate with the device's channels.
void TfrmMain::OpenCapture() {
    DSCCAPS caps{};
    caps.dwSize = sizeof caps;
    Capture->GetCaps(&caps);
    ChannelCount = caps.dwChannels;
    if (ChannelCount == 0) return;
    CaptureFormat.wFormatTag = WAVE_FORMAT_PCM;
    CaptureFormat.nChannels = WORD(ChannelCount);
    CaptureFormat.nSamplesPerSec = SampleRate;
    CaptureFormat.nBlockAlign = WORD(ChannelCount * 2);
    CaptureFormat.nAvgBytesPerSec = CaptureFormat.nBlockAlign * SampleRate;
    CaptureFormat.wBitsPerSample = 16;
    CaptureFormat.cbSize = 0;
    CaptureBufferDesc.dwSize = sizeof(DSCBUFFERDESC1);
    CaptureBufferDesc.dwFlags = DSCBCAPS_WAVEMAPPED;
    CaptureBufferDesc.dwBufferBytes = CaptureFormat.nBlockAlign * SampleRate * CaptureSeconds;
    CaptureBufferDesc.dwReserved = 0;
    CaptureBufferDesc.lpwfxFormat = &CaptureFormat;
    Capture->CreateCaptureBuffer(&CaptureBufferDesc, &CaptureBuffer, nullptr);
    if (CaptureBuffer != nullptr &&
        CaptureBuffer->GetFormat(&CaptureFormat, sizeof CaptureFormat, nullptr) == S_OK)
        SampleRate = CaptureFormat.nSamplesPerSec;
}

// While a lost device is looked for the ticks go on, so that time goes on in the picture.
void TfrmMain::StartCapture() {
    if (CaptureBuffer != nullptr) {
        CaptureBuffer->Start(DSCBSTART_LOOPING);
        QuietAtStart = QuietTicks;
        HeardSinceStart = false;
    }
    if (CaptureBuffer != nullptr || Device == TDevice::Lost) tmrShow->SetEnabled(true);
}

void TfrmMain::ReleaseCapture() {
    if (CaptureBuffer != nullptr) CaptureBuffer->Release();
    if (Capture != nullptr) Capture->Release();
    CaptureBuffer = nullptr;
    Capture = nullptr;
}

// Said once until sound comes again; the samples of the lost device's last window go.
void TfrmMain::DeviceLost() {
    ReleaseCapture();
    SampleFifo.Skip(UINT32_MAX);
    SampleFifo.Compact();
    if (!AwaitingSound)
        ProgramMessage(
            "kavrel: the sound capture device stopped delivering sound; it is looked for "
            "again every second (every five seconds after a minute), and the picture goes on in "
            "black meanwhile");
    AwaitingSound = true;
    Device = TDevice::Lost;
    LookAgainIn(LookAgainMs);
}

// Whether the device delivered this tick. A second without a move of its position while it
// runs loses it; from then on until sound comes again, black columns come in at the rate the
// windows would have come.
void TfrmMain::WatchDelivery(bool delivered) {
    if (delivered) {
        if (AwaitingSound)
            ProgramMessage(
                "kavrel: sound comes again from the capture device; the picture goes on");
        AwaitingSound = false;
        HeardSinceStart = true;
        QuietTicks = 0;
        QuietAtStart = 0;
        SilentLines = 0;
        return;
    }
    ++QuietTicks;
    const uint64_t allowed = HeardSinceStart ? QuietTicksOfALostDevice : QuietTicksBeforeFirstSound;
    if (CaptureBuffer != nullptr && QuietTicks - QuietAtStart >= allowed) DeviceLost();
    if (!AwaitingSound) return;
    const uint64_t due = QuietTicks * SampleRate / TicksPerSecond / SampleFifo.Advance();
    TOdnomernoeMnogestvoElementov<float> silence(16);
    if (due <= SilentLines || !silence.SetCount(Rows, false, false)) return;
    for (uint64_t i = std::min<uint64_t>(due - SilentLines, Cols); i > 0; --i)
        AppendLine(silence);
    SilentLines = due;
}

void TfrmMain::FormDestroy(void*) {
    ReleaseCapture();
    tmrShow->SetEnabled(false);
    tmrDevice->SetEnabled(false);
    if (frmIzobragenie != nullptr) {
        delete frmIzobragenie;
        frmIzobragenie = nullptr;
    }
    if (ComInitialised) CoUninitialize();
    ComInitialised = false;
}

// Tag 0 running, 1 paused; nothing of the picture's state is reset either way.
void TfrmMain::bnPauzaClick(void*) {
    if (bnPauza->Tag == 0) {
        if (CaptureBuffer != nullptr) CaptureBuffer->Stop();
        tmrShow->SetEnabled(false);
        bnPauza->SetCaption("Continue");
        bnPauza->Tag = 1;
    } else {
        StartCapture();
        bnPauza->SetCaption("Pause");
        bnPauza->Tag = 0;
    }
}

void TfrmMain::rbLeftChannelClick(void*) {
    Channel = 0;
}

void TfrmMain::rbRightChannelClick(void*) {
    Channel = 1;
}

void TfrmMain::tmrShowTimer(void*) {
    if (frmIzobragenie == nullptr) return;
    const uint32_t before = ReadOffset;
    ReadCapture();
    WatchDelivery(ReadOffset != before);
    RunEngineInTime();
    DrawPicture();
}

bool TfrmMain::ReadCapture() {
    if (CaptureBuffer == nullptr) return false;
    DWORD readPos = 0;
    if (CaptureBuffer->GetCurrentPosition(nullptr, &readPos) == DSERR_NODRIVER) {
        DeviceLost();
        return false;
    }
    const DWORD size = CaptureBufferDesc.dwBufferBytes;
    if (readPos >= size || readPos == ReadOffset) return readPos < size;
    const DWORD bytes = ReadOffset <= readPos ? readPos - ReadOffset : size - ReadOffset + readPos;
    void* region[2] = {nullptr, nullptr};
    DWORD regionBytes[2] = {0, 0};
    const HRESULT locked = CaptureBuffer->Lock(ReadOffset, bytes, &region[0], &regionBytes[0],
                                               &region[1], &regionBytes[1], 0);
    if (locked == DSERR_NODRIVER) DeviceLost();
    if (FAILED(locked)) return false;
    // With one channel, Left and Right both take every sample.
    const uint32_t first = ChannelCount > 1 ? Channel : 0;
    for (int i = 0; i < 2; ++i) {
        if (region[i] == nullptr) continue;
        TOdnomernayaViborkaElementov<short> samples(16);
        samples.Attach(static_cast<short*>(region[i]), regionBytes[i] / 2);
        samples.Select(first, ChannelCount, regionBytes[i] / 2);
        SampleFifo.Append(samples);
    }
    CaptureBuffer->Unlock(region[0], regionBytes[0], region[1], regionBytes[1]);
    ReadOffset = readPos;
    return true;
}

bool TfrmMain::RunEngine(TClock::duration budget, uint32_t least) {
    TOdnomernoeMnogestvoElementov<short> window(16);
    TOdnomernoeMnogestvoElementov<float> line(16);
    if (!line.SetCount(ZolConfig.PointCount, false, false)) return false;
    const TClock::time_point start = TClock::now();
    uint32_t windows = 0;
    while ((windows < least || TClock::now() - start < budget) &&
           SampleFifo.ReadBlock(window, true)) {
        ZOL_DLL_WriteInputArray(window.Data(), int32_t(window.Count()));
        ZOL_DLL_Run();
        ZOL_DLL_ReadOutputArray(line.Data(), int32_t(line.Count()));
        AppendLine(line);
        ++windows;
    }
    // Averaged over ticks, so that one tick the system held up does not start skipping.
    if (windows > 0) {
        const TClock::duration took = (TClock::now() - start) / windows;
        WindowTime = WindowTime.count() == 0 ? took : (WindowTime * 3 + took) / 4;
    }
    SampleFifo.Compact();
    if (LineFifo.ReadPos() > 0) LineFifo.Compact();
    return true;
}

// Of more windows than one tick's analysis can take, once they hold more than half a second of
// sound, the oldest are dropped: the picture then shows the newest sound, never lagging by more
// than that, with gaps between its columns. A tick the system held up once drops nothing.
bool TfrmMain::RunEngineInTime() {
    const uint32_t hop = SampleFifo.Advance(), waiting = SampleFifo.BlocksAvailable();
    const uint64_t most =
        WindowTime.count() > 0 ? std::max<int64_t>(1, TickAnalysis / WindowTime) : UINT32_MAX;
    if (waiting > most && uint64_t{waiting} * hop > SampleRate / 2) {
        SampleFifo.Skip(uint32_t(std::min<uint64_t>((waiting - most) * hop, UINT32_MAX)));
        if (!SaidSkipping)
            ProgramMessage(
                "kavrel: these settings ask for more analysis than this machine keeps up "
                "with; windows are being skipped so that the picture shows the newest "
                "sound");
        SaidSkipping = true;
    }
    const uint32_t perTick = (SampleRate / TicksPerSecond + hop - 1) / hop;
    return RunEngine(TickAnalysis, std::min(perTick, LeastWindowsPerTick));
}

// At most Cols lines wait (while there is no back buffer to draw them on): the oldest goes. The
// kept lines move to the front only once half as many have been dropped, so that a drop costs
// a constant time on average and the store, reserved for that many, never grows.
void TfrmMain::AppendLine(const TOdnomernoeMnogestvoElementov<float>& line) {
    if (LineFifo.BlocksAvailable() >= Cols) {
        LineFifo.Skip(Rows);
        if (LineFifo.ReadPos() / Rows >= Cols / 2) LineFifo.Compact();
    }
    LineFifo.Append(line);
}

void TfrmMain::DrawPicture() {
    TGraficheskoeOkno& owner = frmIzobragenie->Surface;
    IDirectDrawSurface* surface = owner.BeginDraw(true);
    if (surface == nullptr) return;
    const uint32_t a = LineFifo.BlocksAvailable();
    if (a < Cols) ScrollPicture(surface, a);
    DecayPeak();
    DDSURFACEDESC pixels{};
    pixels.dwSize = sizeof pixels;
    const bool locked = surface->Lock(nullptr, &pixels, DDLOCK_WAIT, nullptr) == DD_OK;
    DrawColumns(locked ? &pixels : nullptr, a < Cols ? Cols - a : 0);
    DrawScales();
    if (locked) surface->Unlock(nullptr);
    owner.EndDraw();
    owner.Present(nullptr);
    LineFifo.Compact();
}

void TfrmMain::DecayPeak() {
    Peak = float(Peak * PeakDecay);
}

void TfrmMain::ScrollPicture(IDirectDrawSurface* surface, uint32_t lines) {
    RECT to = PictureRect, from = PictureRect;
    to.right -= LONG(lines);
    from.left += LONG(lines);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    surface->Blt(&to, surface, &from, DDBLT_WAIT, &fx);
}

// Columns first .. Cols - 1 from the waiting lines, oldest first, as greys against Peak. Without
// locked pixels that hold the picture the lines are still taken, so later ones keep their
// places in time.
void TfrmMain::DrawColumns(const DDSURFACEDESC* pixels, uint32_t first, uint32_t count) {
    const bool drawable = pixels != nullptr && pixels->lpSurface != nullptr &&
                          pixels->dwWidth >= DWORD(PictureRect.right) &&
                          pixels->dwHeight >= DWORD(PictureRect.bottom);
    const TGraficheskoeOkno& surface = frmIzobragenie->Surface;
    TOdnomernoeMnogestvoElementov<float> line(16);
    for (uint32_t x = first; x < Cols && x - first < count && LineFifo.ReadBlock(line, false);
         ++x) {
        // A line with values that are not numbers draws black and leaves the peak alone.
        const bool finite = AllFinite(line);
        if (finite) {
            const float whole = WholePart(line.MaxElement());
            if (whole > Peak) Peak = whole;
        }
        if (!drawable) continue;
        auto* column =
            static_cast<uint8_t*>(pixels->lpSurface) + size_t(PictureRect.left + LONG(x)) * 4;
        for (uint32_t k = 0; k < Rows; ++k) {
            const uint32_t level = finite ? GreyLevel(line[k], Peak, Gain) : 0;
            const size_t row = size_t(PictureRect.top) + Rows - 1 - k;
            *reinterpret_cast<uint32_t*>(column + row * size_t(pixels->lPitch)) =
                surface.ConvertColour(surface.ConvertContext, level * 0x010101u);
        }
    }
}

// Frequency in Hz up the left band, time in seconds along the bottom band; the titles are code
// page 1251 ("F," over "Hz" and "t, s" in Russian).
void TfrmMain::DrawScales() {
    DrawScale({frmIzobragenie, Rows, int32_t(ScaleWidth), 0, FreqFrom, FreqTo, true, "F,\n\xC3\xF6",
               3, 0, 0});
    DrawScale({frmIzobragenie, Cols, int32_t(ScaleHeight), int32_t(ScaleWidth), TimeFrom, TimeTo,
               false, "t, \xF1", 3, 0, 0});
}
