// The IPC commands on their own: a block in memory, a window that records
// what it is asked, and every command in every state of the window.
#include "IpcDispatcher.h"

#include "TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <sys/stat.h>

namespace {

constexpr uint32_t kWindowId = 4242;

class RecordingIpcWindow : public IpcWindow {
public:
    bool connected = true;
    bool busy = false;
    std::string model = "EOS D60";
    std::string mode = "Mode: Manual";
    bool releaseStarts = true;
    int releases = 0;
    int tvSize = 37;
    int avSize = 28;
    bool cameraTakes = true;
    std::vector<std::pair<StepList, int>> selected;
    std::vector<std::string> baseDirectories;
    std::optional<ImageDirectorySettings> directory = ImageDirectorySettings{"/photos", "", true, true, true, true};
    std::vector<std::string> comments;

    bool isConnected() const override { return connected; }
    bool isBusy() const override { return busy; }
    std::string cameraModelName() const override { return model; }
    std::string modeText() const override { return mode; }
    bool release() override
    {
        ++releases;
        return releaseStarts;
    }
    int listSize(StepList list) const override { return list == StepList::ShutterSpeed ? tvSize : avSize; }
    bool selectListPosition(StepList list, int position) override
    {
        selected.emplace_back(list, position);
        return cameraTakes;
    }
    void setBaseDirectory(const std::string &path) override { baseDirectories.push_back(path); }
    std::optional<ImageDirectorySettings> imageDirectorySettings() const override { return directory; }
    LocalDate today() const override { return {2002, 5, 17}; }
    void setComment(const std::string &text) override { comments.push_back(text); }
    uint32_t windowId() const override { return kWindowId; }
};

using StepList = IpcWindow::StepList;

class IpcDispatcherTest : public ::testing::Test {
protected:
    // Fills in a command as a client does, lets Quillomat handle it and
    // reads what it wrote.
    IpcAnswer send(int32_t command, int32_t parameter = 0, const std::string &text = {})
    {
        IpcBlockView block(m_block.data());
        block.setSignedWord(IpcBlock::kCommand, command);
        block.setSignedWord(IpcBlock::kParameter, parameter);
        EXPECT_TRUE(block.setText(text));
        EXPECT_EQ(m_dispatcher.handle(m_channel), 1);
        return block.readAnswer();
    }

    IpcStatus status(int32_t command, int32_t parameter = 0, const std::string &text = {})
    {
        return static_cast<IpcStatus>(send(command, parameter, text).status);
    }

    alignas(4) std::array<unsigned char, IpcBlock::kSize> m_block{};
    IpcChannel m_channel{std::span<unsigned char, IpcBlock::kSize>(m_block)};
    RecordingIpcWindow m_window;
    IpcDispatcher m_dispatcher{m_window};
};

TEST_F(IpcDispatcherTest, ReportStateWithoutACameraHasNoText)
{
    m_window.connected = false;
    IpcBlockView(m_block.data()).setText("left over");
    const IpcAnswer answer = send(1);
    EXPECT_EQ(answer.status, 1);
    EXPECT_EQ(answer.text, "");
    EXPECT_EQ(answer.window, kWindowId);
}

TEST_F(IpcDispatcherTest, ReportStateGivesTheModelWhenIdleAndWhenBusy)
{
    IpcAnswer answer = send(1);
    EXPECT_EQ(answer.status, 2);
    EXPECT_EQ(answer.text, "EOS D60");
    m_window.busy = true;
    m_window.model = "EOS D30";
    answer = send(1);
    EXPECT_EQ(answer.status, 5);
    EXPECT_EQ(answer.text, "EOS D30");
}

TEST_F(IpcDispatcherTest, ReleaseOnlyWhenConnectedAndIdle)
{
    IpcBlockView block(m_block.data());
    block.setSignedWord(IpcBlock::kProgress, 77);

    m_window.connected = false;
    EXPECT_EQ(status(2), IpcStatus::NotConnected);
    m_window.connected = true;
    m_window.busy = true;
    EXPECT_EQ(status(2), IpcStatus::Busy);
    EXPECT_EQ(m_window.releases, 0);
    EXPECT_EQ(block.signedWord(IpcBlock::kProgress), 77);

    m_window.busy = false;
    EXPECT_EQ(status(2), IpcStatus::ReleaseStarted);
    EXPECT_EQ(m_window.releases, 1);
    EXPECT_EQ(block.signedWord(IpcBlock::kProgress), 0);
}

TEST_F(IpcDispatcherTest, ARefusedReleaseIsNotReportedAsStarted)
{
    // Bulb, or the camera's lock refused: the window showed its box and took no photo.
    m_window.releaseStarts = false;
    IpcBlockView(m_block.data()).setSignedWord(IpcBlock::kProgress, 55);
    EXPECT_EQ(status(2), IpcStatus::NotDone);
    EXPECT_EQ(m_window.releases, 1);
    EXPECT_EQ(IpcBlockView(m_block.data()).signedWord(IpcBlock::kProgress), 55);
}

TEST_F(IpcDispatcherTest, NoOperationIsRefusedWhileConnected)
{
    m_window.connected = false;
    EXPECT_EQ(status(3), IpcStatus::NotConnected);
    m_window.connected = true;
    EXPECT_EQ(status(3), IpcStatus::NotDone);
    m_window.busy = true;
    EXPECT_EQ(status(3), IpcStatus::NotDone);
}

struct ModeCase {
    const char *mode;
    IpcStatus tv;
    IpcStatus av;
};

class IpcDispatcherModeTest : public IpcDispatcherTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(IpcDispatcherModeTest, TvAndAvFollowTheExposureMode)
{
    const ModeCase mode = GetParam();
    m_window.mode = mode.mode;
    EXPECT_EQ(status(4, 5), mode.tv) << mode.mode;
    EXPECT_EQ(status(5, 3), mode.av) << mode.mode;
    std::vector<std::pair<StepList, int>> expected;
    if (mode.tv == IpcStatus::Done)
        expected.emplace_back(StepList::ShutterSpeed, 5);
    if (mode.av == IpcStatus::Done)
        expected.emplace_back(StepList::Aperture, 3);
    EXPECT_EQ(m_window.selected, expected) << mode.mode;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, IpcDispatcherModeTest,
    ::testing::Values(ModeCase{"Mode: Manual", IpcStatus::Done, IpcStatus::Done},
                      ModeCase{"Mode: Tv", IpcStatus::Done, IpcStatus::NotDone},
                      ModeCase{"Mode: Av", IpcStatus::Busy, IpcStatus::Done},
                      ModeCase{"Mode: Program", IpcStatus::Busy, IpcStatus::NotDone},
                      ModeCase{"Mode: A-DEP", IpcStatus::Busy, IpcStatus::NotDone},
                      ModeCase{"Mode: Landscape", IpcStatus::Busy, IpcStatus::NotDone},
                      ModeCase{"Mode: MANUAL", IpcStatus::Done, IpcStatus::Done},
                      ModeCase{"Mode", IpcStatus::Busy, IpcStatus::NotDone},
                      ModeCase{"", IpcStatus::Busy, IpcStatus::NotDone}));

TEST_F(IpcDispatcherTest, TvAndAvNeedAnIdleCamera)
{
    m_window.connected = false;
    EXPECT_EQ(status(4, 1), IpcStatus::NotConnected);
    EXPECT_EQ(status(5, 1), IpcStatus::NotConnected);
    m_window.connected = true;
    m_window.busy = true;
    EXPECT_EQ(status(4, 1), IpcStatus::Busy);
    EXPECT_EQ(status(5, 1), IpcStatus::Busy);
    EXPECT_TRUE(m_window.selected.empty());
}

TEST_F(IpcDispatcherTest, TvPosition12InAvModeIsRefusedAndInManualIsSet)
{
    m_window.mode = "Mode: Av";
    EXPECT_EQ(status(4, 12), IpcStatus::Busy);
    EXPECT_TRUE(m_window.selected.empty());
    m_window.mode = "Mode: Manual";
    EXPECT_EQ(status(4, 12), IpcStatus::Done);
    ASSERT_EQ(m_window.selected.size(), 1u);
    EXPECT_EQ(m_window.selected[0], std::make_pair(StepList::ShutterSpeed, 12));
}

TEST_F(IpcDispatcherTest, AValueTheCameraDidNotTakeIsNotDone)
{
    m_window.cameraTakes = false;
    EXPECT_EQ(status(4, 12), IpcStatus::NotDone);
    EXPECT_EQ(status(5, 2), IpcStatus::NotDone);
    EXPECT_EQ(m_window.selected.size(), 2u);
}

TEST_F(IpcDispatcherTest, PositionsOutsideTheListsSelectNothing)
{
    for (const int32_t position : {-1, 37, 38, INT_MAX, INT_MIN})
        EXPECT_EQ(status(4, position), IpcStatus::NotDone) << position;
    for (const int32_t position : {-1, 28, INT_MAX, INT_MIN})
        EXPECT_EQ(status(5, position), IpcStatus::NotDone) << position;
    m_window.tvSize = 0;
    EXPECT_EQ(status(4, 0), IpcStatus::NotDone);
    EXPECT_TRUE(m_window.selected.empty());
    EXPECT_EQ(status(5, 27), IpcStatus::Done);
    EXPECT_EQ(status(4, -1), IpcStatus::NotDone);
}

TEST_F(IpcDispatcherTest, ANewNestedDirectoryEndingInASlashIsCreated)
{
    TemporaryDirectory folder;
    const std::string path = folder.str() + "/shoot/2002/day one/";
    EXPECT_EQ(status(6, 0, path), IpcStatus::Done);
    struct stat info {};
    ASSERT_EQ(::stat((folder.str() + "/shoot/2002/day one").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    ASSERT_EQ(m_window.baseDirectories.size(), 1u);
    EXPECT_EQ(m_window.baseDirectories[0], folder.str() + "/shoot/2002/day one");
}

TEST_F(IpcDispatcherTest, AnExistingDirectoryIsTakenWithoutItsSlashes)
{
    TemporaryDirectory folder;
    EXPECT_EQ(status(6, 0, folder.str() + "///"), IpcStatus::Done);
    EXPECT_EQ(status(6, 0, "/"), IpcStatus::Done);
    EXPECT_EQ(status(6, 0, "///"), IpcStatus::Done);
    EXPECT_EQ(m_window.baseDirectories, (std::vector<std::string>{folder.str(), "/", "/"}));
}

TEST_F(IpcDispatcherTest, AnExistingFileIsNotADirectory)
{
    TemporaryDirectory folder;
    writeTextFile(folder.path() / "notes.txt");
    EXPECT_EQ(status(6, 0, folder.str() + "/notes.txt"), IpcStatus::NotDone);
    EXPECT_EQ(status(6, 0, folder.str() + "/notes.txt/below"), IpcStatus::NotDone);
    EXPECT_TRUE(m_window.baseDirectories.empty());
    EXPECT_EQ(readTextFile(folder.path() / "notes.txt"), "x");
}

TEST_F(IpcDispatcherTest, UnusablePathsAreRefused)
{
    TemporaryDirectory folder;
    // Relative to nothing the client knows, empty, or not text.
    EXPECT_EQ(status(6, 0, "pictures"), IpcStatus::NotDone);
    EXPECT_EQ(status(6, 0, ""), IpcStatus::NotDone);
    EXPECT_EQ(status(6, 0, folder.str() + "/bad\xff"), IpcStatus::NotDone);
    EXPECT_TRUE(m_window.baseDirectories.empty());
    EXPECT_TRUE(entryNames(folder.path()).empty());
}

TEST_F(IpcDispatcherTest, TheDirectoryIsSetWithoutACameraButNotWhileBusy)
{
    TemporaryDirectory folder;
    m_window.busy = true;
    EXPECT_EQ(status(6, 0, folder.str() + "/new"), IpcStatus::Busy);
    EXPECT_TRUE(entryNames(folder.path()).empty());
    m_window.connected = false;
    EXPECT_EQ(status(6, 0, folder.str() + "/new"), IpcStatus::Done);
    EXPECT_EQ(entryNames(folder.path()), std::vector<std::string>{"new"});
}

TEST_F(IpcDispatcherTest, TheImageDirectoryHasTheDateLevelsThatAreOn)
{
    m_window.connected = false;
    IpcAnswer answer = send(7);
    EXPECT_EQ(answer.status, 6);
    EXPECT_EQ(answer.text, "/photos/2002-05-17/");

    m_window.directory->flattenDate = false;
    EXPECT_EQ(send(7).text, "/photos/2002/05/17/");
    m_window.directory->yearSubDir = false;
    EXPECT_EQ(send(7).text, "/photos/05/17/");
    m_window.directory->monthSubDir = m_window.directory->daySubDir = false;
    m_window.directory->baseDirectory = "/photos/";
    EXPECT_EQ(send(7).text, "/photos/");

    m_window.directory.reset();
    answer = send(7);
    EXPECT_EQ(answer.status, 6);
    EXPECT_EQ(answer.text, "/");
}

TEST_F(IpcDispatcherTest, ADirectoryTooLongForTheBlockIsNotSentCutShort)
{
    m_window.directory->baseDirectory = "/" + std::string(800, 'd');
    const IpcAnswer answer = send(7);
    EXPECT_EQ(answer.status, 7);
    EXPECT_EQ(answer.text, "");
}

TEST_F(IpcDispatcherTest, CommentsUpTo255BytesGoIntoTheCommentBox)
{
    EXPECT_EQ(status(8, 0, std::string(255, 'c')), IpcStatus::Done);
    EXPECT_EQ(status(8, 0, "Caf\xc3\xa9 \xe2\x82\xac"), IpcStatus::Done);
    EXPECT_EQ(status(8, 0, ""), IpcStatus::Done);
    EXPECT_EQ(m_window.comments, (std::vector<std::string>{std::string(255, 'c'), "Caf\xc3\xa9 \xe2\x82\xac", ""}));
    // While busy and without a camera alike.
    m_window.busy = true;
    EXPECT_EQ(status(8, 0, "busy"), IpcStatus::Done);
    m_window.connected = false;
    EXPECT_EQ(status(8, 0, "alone"), IpcStatus::Done);
    EXPECT_EQ(m_window.comments.size(), 5u);
}

TEST_F(IpcDispatcherTest, A256ByteCommentLeavesTheCommentBoxAlone)
{
    EXPECT_EQ(status(8, 0, std::string(256, 'c')), IpcStatus::NotDone);
    // 255 bytes of text, but 128 characters of two bytes are 256 bytes.
    std::string accents;
    for (int i = 0; i < 128; ++i)
        accents += "\xc3\xa9";
    EXPECT_EQ(status(8, 0, accents), IpcStatus::NotDone);
    EXPECT_EQ(status(8, 0, "broken \xc3"), IpcStatus::NotDone);
    EXPECT_TRUE(m_window.comments.empty());
}

TEST_F(IpcDispatcherTest, AnUnknownCommandLeavesTheBlockUnchanged)
{
    for (std::size_t i = 0; i < m_block.size(); ++i)
        m_block[i] = static_cast<unsigned char>(i * 7 + 3);
    for (const int32_t command : {9, 0, -1, 1000, INT_MAX, INT_MIN}) {
        IpcBlockView(m_block.data()).setSignedWord(IpcBlock::kCommand, command);
        const auto before = m_block;
        EXPECT_EQ(m_dispatcher.handle(m_channel), 1);
        EXPECT_EQ(m_block, before) << command;
    }
    EXPECT_EQ(m_window.releases, 0);
    EXPECT_TRUE(m_window.selected.empty());
    EXPECT_TRUE(m_window.comments.empty());
}

TEST_F(IpcDispatcherTest, EveryAnswerMovesTheSequenceOnByTwo)
{
    const uint32_t start = IpcBlockView(m_block.data()).word(IpcBlock::kSequence);
    EXPECT_EQ(send(1).sequence, start + 2);
    EXPECT_EQ(send(7).sequence, start + 4);
    EXPECT_EQ(send(9).sequence, start + 4);
    EXPECT_EQ(send(8, 0, std::string(300, 'x')).sequence, start + 6);
}

TEST(IpcUtf8Test, WellFormedTextOnly)
{
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain ASCII"));
    EXPECT_TRUE(isValidUtf8("\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\xb7"));
    EXPECT_FALSE(isValidUtf8("\x80"));
    EXPECT_FALSE(isValidUtf8("\xc3"));
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));          // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xe0\x80\xaf"));      // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));      // a surrogate
    EXPECT_FALSE(isValidUtf8("\xf4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xff"));
}

}  // namespace
