// The note tool end to end: the palette from the panel's 판서 button, writing on the
// frozen screen with a real pointer (xdotool), the white page, saving into the
// desktop's NoteSave folder, the question before unsaved ink goes, a save that fails,
// remote control closing the page, and the program's end with the note thread running.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "RemoteFixture.h"

#include <ctime>
#include <filesystem>

using namespace remotetest;
namespace fs = std::filesystem;

namespace {

constexpr char kPaletteCaption[] = "Tavrel 판서도구";
constexpr char kOverlayCaption[] = "Tavrel Notetool Wnd";
constexpr char kHostCaption[] = "Note Thread";
constexpr char kTextSaveChanges[] = "변경사항을 파일로 저장하시겠습니까?";
constexpr char kTextSaveFailed[] = "저장하지 못했습니다.\n저장할 폴더를 확인해 주세요.";
constexpr char kSaveCaption[] = "확인";
constexpr int kTouchMode = 1520, kBoardMode = 1521, kWhiteboardMode = 1540;
constexpr int kDraw = 1522, kSize2 = 1526, kRed = 1530, kSave = 1538;
// The backdrop the snapshot is taken of: screen-animator's "below" window.
constexpr int kBackdropRed = 40, kBackdropGreen = 80, kBackdropBlue = 220;

struct Rgb {
    int r = -1, g = -1, b = -1;
};

// One pixel of a picture file, through ImageMagick.
Rgb PixelAt(const std::string& picture, int x, int y) {
    RunResult r = e2e::RunTool({"convert", picture, "-format",
                                "%[fx:int(255*p{" + std::to_string(x) + "," + std::to_string(y) +
                                    "}.r)],%[fx:int(255*p{" + std::to_string(x) + "," +
                                    std::to_string(y) + "}.g)],%[fx:int(255*p{" +
                                    std::to_string(x) + "," + std::to_string(y) + "}.b)]",
                                "info:"});
    Rgb c;
    if (r.exitCode == 0) std::sscanf(r.out.c_str(), "%d,%d,%d", &c.r, &c.g, &c.b);
    return c;
}

bool Near(const Rgb& c, int r, int g, int b, int tolerance = 40) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance &&
           std::abs(c.b - b) <= tolerance;
}

std::string Describe(const Rgb& c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

std::string Today(const char* format) {
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, format, std::localtime(&now));
    return text;
}

}  // namespace

class NoteToolTest : public RemoteTest {
  protected:
    void TearDown() override {
        if (m_backdrop.Running()) m_backdrop.Kill();
        RemoteTest::TearDown();
        // Notes and the file a test put in their way go, so that nothing later (the
        // demo runs in this prefix too) finds them.
        ClearNoteSave();
    }

    // The prefix user's own Desktop folder (never the home folder: see wine-prefix).
    std::string DesktopDir() {
        for (const auto& entry : fs::directory_iterator(e2e::WinePrefix() + "/drive_c/users"))
            if (entry.path().filename() != "Public") return entry.path().string() + "/Desktop";
        return "";
    }
    std::string NoteSaveDir() { return DesktopDir() + "/NoteSave"; }

    // The palette: the dialog whose caption label reads "Tavrel 판서도구".
    std::string WaitPalette(int timeoutMs = kWindowWaitMs) {
        std::string palette;
        PollUntil(
            [&] {
                RunResult list = UiDriver({"list", "--class", kDialogClass, "--all"});
                for (const std::string& line : SplitFields(list.out, '\n')) {
                    const std::string hwnd = SplitFields(line, '\t').front();
                    if (!hwnd.empty() && UiDriver({"text", hwnd, "1011"}).out == kPaletteCaption) {
                        palette = hwnd;
                        return true;
                    }
                }
                return false;
            },
            std::chrono::milliseconds(timeoutMs));
        return palette;
    }

    std::string WaitTitled(const std::string& title, bool hiddenToo = false) {
        std::vector<std::string> args{"wait", "--title", title, "--timeout",
                                      std::to_string(kWindowWaitMs)};
        if (hiddenToo) args.push_back("--all");
        RunResult r = UiDriver(args, kWindowWaitMs + 10000);
        return r.exitCode == 0 ? r.out : "";
    }

    bool WaitRect(const std::string& hwnd, const std::string& rect) {
        return PollUntil([&] { return Info(hwnd).rect == rect; });
    }

    bool WaitVisible(const std::string& hwnd, bool visible) {
        return PollUntil([&] { return Info(hwnd).visible == visible; });
    }

    // Waits until the window itself takes input again (no WS_DISABLED).
    bool WaitWindowEnabled(const std::string& hwnd) {
        constexpr unsigned long kDisabled = 0x08000000;
        return PollUntil([&] { return (Info(hwnd).style & kDisabled) == 0; });
    }

    bool Checked(const std::string& hwnd, int id) {
        return UiDriver({"checked", hwnd, std::to_string(id)}).out == "1";
    }

    // A blue window over the whole screen below the panel: what board writing freezes.
    void StartBackdrop() {
        ASSERT_TRUE(e2e::StartWine(m_backdrop,
                                   {e2e::WinBinDir() + "/screen-animator.exe", "0", "0", "1024",
                                    "768", "100000000", "below"},
                                   e2e::WinBinDir()));
        ASSERT_FALSE(WaitTitled("screen-animator 0,0").empty()) << "no backdrop";
    }

    // The pen the palette starts with: red, size 2 (the profile keeps the last choice).
    void StoreDefaultPen() {
        const std::string key = "HKCU\\Software\\Vantor Login\\Vantor Tavrel\\config";
        e2e::RunWine(
            {"reg", "add", key, "/v", "notetool_color", "/t", "REG_DWORD", "/d", "230", "/f"}, "");
        e2e::RunWine(
            {"reg", "add", key, "/v", "notetool_pensizetype", "/t", "REG_DWORD", "/d", "2", "/f"},
            "");
    }

    // Logs in, opens the palette and enters board writing over the backdrop.
    std::string OpenBoard(bool defaultPen = true) {
        if (defaultPen) StoreDefaultPen();
        StartBackdrop();
        const std::string panel = LogInWithStreamingLectern();
        EXPECT_FALSE(panel.empty());
        m_panel = panel;
        Press(panel, IDC_NOTE_TOOL);
        const std::string palette = WaitPalette();
        EXPECT_FALSE(palette.empty()) << "no palette";
        if (palette.empty()) return "";
        Press(palette, kBoardMode);
        m_overlay = WaitTitled(kOverlayCaption);
        EXPECT_FALSE(m_overlay.empty()) << "no overlay";
        EXPECT_TRUE(WaitRect(palette, "851,280,1024,690")) << Info(palette).rect;
        return palette;
    }

    // A stroke with the real pointer from (x0, y) to (x1, y), in steps of `step` pixels. The
    // pause between steps keeps the moves from being merged into one, so the eraser
    // gets every point (its squares are 32 pixels wide).
    void Stroke(int x0, int x1, int y, int step = 20) {
        std::vector<std::string> args{"mousemove", std::to_string(x0), std::to_string(y),
                                      "mousedown", "1"};
        for (int x = x0; x <= x1; x += step)
            args.insert(args.end(),
                        {"sleep", "0.03", "mousemove", std::to_string(x), std::to_string(y)});
        args.insert(args.end(), {"mouseup", "1"});
        Xdo(args);
    }

    // The saved notes of today: file names under NoteSave\yyyy-mm-dd.
    std::vector<std::string> SavedToday() {
        std::vector<std::string> files;
        const std::string day = NoteSaveDir() + "/" + Today("%Y-%m-%d");
        std::error_code ignored;
        if (!fs::is_directory(day, ignored)) return files;
        for (const auto& entry : fs::directory_iterator(day))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        return files;
    }

    bool WaitSaved(size_t count) {
        return PollUntil([&] { return SavedToday().size() >= count; });
    }

    void ClearNoteSave() {
        std::error_code ignored;
        fs::remove_all(NoteSaveDir(), ignored);
    }

    Process m_backdrop;
    std::string m_panel;
    std::string m_overlay;
};

TEST_F(NoteToolTest, ThePaletteOpensOnceWithItsHostThread) {
    const std::string panel = LogInWithStreamingLectern();
    ASSERT_FALSE(panel.empty());
    ClearNoteSave();
    Press(panel, IDC_NOTE_TOOL);
    const std::string palette = WaitPalette();
    ASSERT_FALSE(palette.empty()) << "no palette";
    EXPECT_TRUE(WaitRect(palette, "851,280,1024,389")) << Info(palette).rect;
    EXPECT_TRUE(Info(palette).visible);
    EXPECT_TRUE(Checked(palette, kTouchMode));
    EXPECT_FALSE(Checked(palette, kBoardMode));
    EXPECT_FALSE(Checked(palette, kWhiteboardMode));
    const std::string host = WaitTitled(kHostCaption, true);
    ASSERT_FALSE(host.empty()) << "no host window";
    EXPECT_FALSE(Info(host).visible);
    EXPECT_EQ(Info(host).rect, "0,0,100,100");
    // The folder is there before the first save.
    EXPECT_TRUE(fs::is_directory(NoteSaveDir())) << NoteSaveDir();

    // Closed, then opened again from the panel: the same palette, one host.
    Press(palette, IDC_NOTE_CLOSE);
    EXPECT_TRUE(WaitVisible(palette, false)) << "the palette did not close";
    Press(panel, IDC_NOTE_TOOL);
    EXPECT_TRUE(WaitVisible(palette, true)) << "the palette did not come back";
    RunResult hosts = UiDriver({"list", "--title", kHostCaption, "--all"});
    EXPECT_EQ(SplitFields(hosts.out, '\n').size(), 1u) << hosts.out;
}

TEST_F(NoteToolTest, BoardWritingFreezesTheScreenInksAndSavesTheNote) {
    ClearNoteSave();
    const std::string palette = OpenBoard();
    ASSERT_FALSE(palette.empty());
    ASSERT_FALSE(m_overlay.empty());
    EXPECT_EQ(Info(m_overlay).rect, "0,0,1024,768");
    EXPECT_TRUE(Checked(palette, kBoardMode));
    EXPECT_FALSE(Checked(palette, kTouchMode));
    EXPECT_TRUE(Checked(palette, kDraw));
    EXPECT_TRUE(Checked(palette, kSize2));
    EXPECT_TRUE(Checked(palette, kRed));
    RunResult stored =
        e2e::RunWine({"reg", "query", "HKCU\\Software\\Vantor Login\\Vantor Tavrel\\config", "/v",
                      "notetool_color"},
                     "");
    EXPECT_NE(stored.out.find("REG_DWORD"), std::string::npos) << stored.out;
    EXPECT_NE(stored.out.find("0xe6"), std::string::npos) << stored.out;

    // Ink along a real pointer's path, size 2 in red.
    Stroke(100, 400, 450);
    const std::string shot = e2e::Screenshot("note-board-ink");
    EXPECT_TRUE(Near(PixelAt(shot, 250, 450), 230, 0, 0)) << Describe(PixelAt(shot, 250, 450));
    EXPECT_TRUE(Near(PixelAt(shot, 250, 470), kBackdropRed, kBackdropGreen, kBackdropBlue))
        << "the frozen screen: " << Describe(PixelAt(shot, 250, 470));

    // Saved as today's dated file: the ink where it was drawn, and the screen under
    // the panel as it was frozen (the panel itself is not in the note).
    Press(palette, kSave);
    ASSERT_TRUE(WaitSaved(1)) << "nothing saved in " << NoteSaveDir();
    const std::vector<std::string> files = SavedToday();
    EXPECT_EQ(files.front().rfind(Today("%Y%m%d_"), 0), 0u) << files.front();
    EXPECT_EQ(files.front().size(), std::string("20261210_120000.jpg").size()) << files.front();
    const std::string note = NoteSaveDir() + "/" + Today("%Y-%m-%d") + "/" + files.front();
    const std::string size = e2e::RunTool({"identify", "-format", "%wx%h", note}).out;
    EXPECT_EQ(size, "1024x768");
    EXPECT_TRUE(Near(PixelAt(note, 250, 450), 230, 0, 0)) << Describe(PixelAt(note, 250, 450));
    EXPECT_TRUE(Near(PixelAt(note, 940, 120), kBackdropRed, kBackdropGreen, kBackdropBlue))
        << "under the panel: " << Describe(PixelAt(note, 940, 120));
    EXPECT_TRUE(Near(PixelAt(note, 940, 400), kBackdropRed, kBackdropGreen, kBackdropBlue))
        << "under the palette: " << Describe(PixelAt(note, 940, 400));

    // Saved ink goes without a question; new ink asks, and No discards it.
    ASSERT_TRUE(WaitWindowEnabled(m_overlay)) << "the page stayed disabled after the notice";
    ASSERT_TRUE(WaitWindowEnabled(palette));
    Stroke(100, 300, 550);
    Press(palette, kWhiteboardMode);
    const std::string box = WaitBox(kSaveCaption);
    ASSERT_FALSE(box.empty()) << "no question before unsaved ink went";
    EXPECT_EQ(BoxText(box), kTextSaveChanges);
    Press(box, kNoButton);
    ASSERT_TRUE(WaitWindowGone(m_overlay));
    const std::string whiteboard = WaitTitled(kOverlayCaption);
    ASSERT_FALSE(whiteboard.empty());
    EXPECT_TRUE(Checked(palette, kWhiteboardMode));
    const std::string page = e2e::Screenshot("note-whiteboard");
    EXPECT_TRUE(Near(PixelAt(page, 3, 384), 0, 255, 255, 10)) << Describe(PixelAt(page, 3, 384));
    EXPECT_TRUE(Near(PixelAt(page, 400, 400), 255, 255, 255, 10));
    // The panel stays above the page in the window order. (Wine's virtual desktop may
    // still draw a white page over it; Windows draws by that order.)
    const std::string order = UiDriver({"list"}).out;
    EXPECT_LT(order.find(m_panel + "\t"), order.find(whiteboard + "\t")) << order;
    EXPECT_EQ(SavedToday().size(), 1u) << "No saved a file";
}

TEST_F(NoteToolTest, AFailedSaveSaysSoAndTheInkStillAsks) {
    ClearNoteSave();
    const std::string palette = OpenBoard();
    ASSERT_FALSE(palette.empty());
    // A file where today's folder must go: the note cannot be written.
    std::ofstream(NoteSaveDir() + "/" + Today("%Y-%m-%d")) << "in the way";
    Stroke(100, 400, 450);
    Press(palette, kSave);
    std::string box = WaitBox();
    ASSERT_FALSE(box.empty()) << "a failed save said nothing";
    EXPECT_EQ(BoxText(box), kTextSaveFailed);
    Press(box, kOkButton);
    ASSERT_TRUE(WaitWindowEnabled(palette));
    Press(palette, kTouchMode);
    box = WaitBox(kSaveCaption);
    ASSERT_FALSE(box.empty()) << "the unsaved ink went without a question";
    Press(box, kCancelButton);
    EXPECT_TRUE(Info(m_overlay).visible) << "Cancel closed the page";
    EXPECT_TRUE(Checked(palette, kBoardMode));
}

TEST_F(NoteToolTest, RemoteControlClosesThePageWithoutAskingAndTheProgramEndsCleanly) {
    const std::string palette = OpenBoard();
    ASSERT_FALSE(palette.empty());
    Stroke(100, 400, 450);
    ASSERT_FALSE(StartRemote(m_panel).empty());
    EXPECT_TRUE(WaitWindowGone(m_overlay)) << "the page stayed over the viewer";
    EXPECT_TRUE(WaitBox(kSaveCaption, 2000).empty()) << "it asked";
    EXPECT_TRUE(WaitVisible(palette, false)) << "the palette stayed over the viewer";

    AnswerExitQuestion(m_panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs)) << "the program did not end";
    EXPECT_FALSE(fs::exists(m_folder + "/TavrelDump.dmp")) << "it crashed";
}

// Stored values the palette does not offer are read as red and size 2 and written back
// as such; Esc leaves the palette as it is and Enter closes it, asking first.
TEST_F(NoteToolTest, BadStoredValuesAreReadAsTheDefaultsAndEnterClosesAfterAsking) {
    const std::string key = "HKCU\\Software\\Vantor Login\\Vantor Tavrel\\config";
    for (const char* value : {"notetool_color=12345", "notetool_pensizetype=0"}) {
        const std::string text = value;
        const std::string name = text.substr(0, text.find('='));
        ASSERT_EQ(e2e::RunWine({"reg", "add", key, "/v", name, "/t", "REG_DWORD", "/d",
                                text.substr(text.find('=') + 1), "/f"},
                               "")
                      .exitCode,
                  0);
    }
    const std::string palette = OpenBoard(false);
    ASSERT_FALSE(palette.empty());
    EXPECT_TRUE(Checked(palette, kRed));
    EXPECT_TRUE(Checked(palette, kSize2));
    for (const char* name : {"notetool_color", "notetool_pensizetype"}) {
        RunResult stored = e2e::RunWine({"reg", "query", key, "/v", name}, "");
        const bool colour = std::string(name) == "notetool_color";
        EXPECT_NE(stored.out.find(colour ? "0xe6" : "0x2"), std::string::npos) << stored.out;
    }
    // Size 2 draws 5 pixels wide: rows 448 to 452 around the path at 450.
    Stroke(100, 400, 450);
    const std::string shot = e2e::Screenshot("note-size2");
    EXPECT_TRUE(Near(PixelAt(shot, 250, 449), 230, 0, 0)) << Describe(PixelAt(shot, 250, 449));
    EXPECT_TRUE(Near(PixelAt(shot, 250, 445), kBackdropRed, kBackdropGreen, kBackdropBlue))
        << Describe(PixelAt(shot, 250, 445));

    constexpr int kEscape = 27, kEnter = 13;
    ASSERT_EQ(UiDriver({"key", palette, std::to_string(kEscape)}).exitCode, 0);
    EXPECT_TRUE(WaitBox(kSaveCaption, 2000).empty()) << "Esc asked";
    EXPECT_TRUE(Info(m_overlay).visible) << "Esc closed the page";
    ASSERT_EQ(UiDriver({"key", palette, std::to_string(kEnter)}).exitCode, 0);
    const std::string box = WaitBox(kSaveCaption);
    ASSERT_FALSE(box.empty()) << "Enter closed unsaved ink without asking";
    Press(box, kNoButton);
    EXPECT_TRUE(WaitWindowGone(m_overlay));
    EXPECT_TRUE(WaitVisible(palette, false));
}

// The highlighter only darkens (its yellow over the blue backdrop leaves the blue's
// bits that yellow has), and the eraser brings the frozen screen back under the ink.
TEST_F(NoteToolTest, TheHighlighterDarkensAndTheEraserRestoresTheScreen) {
    constexpr int kErase = 1523, kSemiTransparent = 1537, kYellow = 1533;
    const std::string palette = OpenBoard();
    ASSERT_FALSE(palette.empty());
    Stroke(100, 500, 450);
    Press(palette, kErase);
    // Short steps: even two moves merged into one leave no gap between the squares.
    Stroke(200, 300, 450, 8);
    Press(palette, kDraw);
    Press(palette, kYellow);
    Press(palette, kSemiTransparent);
    EXPECT_TRUE(Checked(palette, kSemiTransparent));
    Stroke(100, 500, 600);
    const std::string shot = e2e::Screenshot("note-highlighter-eraser");
    EXPECT_TRUE(Near(PixelAt(shot, 150, 450), 230, 0, 0)) << Describe(PixelAt(shot, 150, 450));
    EXPECT_TRUE(Near(PixelAt(shot, 250, 450), kBackdropRed, kBackdropGreen, kBackdropBlue, 10))
        << "not erased: " << Describe(PixelAt(shot, 250, 450));
    EXPECT_TRUE(Near(PixelAt(shot, 300, 600), kBackdropRed & 230, kBackdropGreen & 230, 0, 10))
        << "the highlighter: " << Describe(PixelAt(shot, 300, 600));
}

// At a scale factor of 1.4 the palette is 242 pixels wide and 152 high at the right
// edge, 392 pixels down.
TEST_F(NoteToolTest, ThePaletteFollowsTheScaleFactor) {
    m_extraConfig = "scalefactor=1.4\r\n";
    const std::string panel = LogInWithStreamingLectern();
    ASSERT_FALSE(panel.empty());
    Press(panel, IDC_NOTE_TOOL);
    const std::string palette = WaitPalette();
    ASSERT_FALSE(palette.empty());
    EXPECT_TRUE(WaitRect(palette, "782,392,1024,544")) << Info(palette).rect;
    e2e::Screenshot("note-palette-1.4");
}

// Yes to the question saves the ink first, then the white page comes.
TEST_F(NoteToolTest, YesToTheQuestionSavesBeforeTheNextPage) {
    const std::string palette = OpenBoard();
    ASSERT_FALSE(palette.empty());
    Stroke(100, 400, 450);
    Press(palette, kWhiteboardMode);
    const std::string box = WaitBox(kSaveCaption);
    ASSERT_FALSE(box.empty()) << "no question before unsaved ink went";
    Press(box, kYesButton);
    EXPECT_TRUE(WaitSaved(1)) << "Yes saved nothing";
    EXPECT_TRUE(WaitWindowGone(m_overlay));
    EXPECT_FALSE(WaitTitled(kOverlayCaption).empty()) << "no white page after the save";
    EXPECT_TRUE(PollUntil([&] { return Checked(palette, kWhiteboardMode); }));
}
