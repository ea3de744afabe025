// The info window without its window: editors simulated as processes of a
// fake kernel write into its inbox; what it writes back into their inboxes
// is compared byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/host.h"
#include "companions/vantrel/vantrel_model.h"
#include "companions/vantrel/vantrel_session.h"
#include "ipc/object_names.h"
#include "support/fake_kernel.h"

namespace vt = gorvane::vantrel;
namespace ipc = gorvane::ipc;

namespace {

constexpr int kInfoWindow = 3;
constexpr std::uint32_t kOurThread = 4242;

// A message as an editor writes it: the text and its NUL.
std::string Msg(const std::string& text) { return text + std::string(1, '\0'); }
std::span<const std::uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
std::string Utf8(const std::string& sjis) { return gorvane::base::Utf8(sjis); }

// A simulated editor: its own process and inbox.
struct Editor {
  Editor(gvtest::FakeWorld& world, int number) : process(world.NewProcess()), instance(number) {
    inbox = process->CreateMailslot(ipc::ObjectNames("tester").EditorInbox(instance), 0);
  }
  std::vector<std::string> Received() {
    std::vector<std::string> out;
    std::vector<std::uint8_t> buf(70000);
    while (inbox && inbox->Next().waiting()) {
      const auto n = inbox->Read(buf);
      out.emplace_back(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
    }
    return out;
  }
  std::unique_ptr<gvtest::FakeProcess> process;
  int instance;
  std::unique_ptr<ipc::Mailslot> inbox;
};

class RecordingStarter : public vt::EditorStarter {
 public:
  bool Start(const std::string& commandLine) override {
    started.push_back(commandLine);
    return succeed;
  }
  std::vector<std::string> started;
  bool succeed = true;
};

class VantrelTest : public ::testing::Test {
 protected:
  VantrelTest()
      : process(world.NewProcess()),
        model(vt::ModelConfig{kInfoWindow, "tester", kOurThread, "C:\\Tools\\"}),
        session(*process, model) {
    EXPECT_TRUE(session.Open());
    session.SetLog([this](std::string_view record) { log.append(record); });
  }

  Editor& AddEditor(int instance) { return *editors.emplace_back(std::make_unique<Editor>(world, instance)); }

  // Writes the texts into our inbox as an editor would and lets the window poll.
  void Deliver(const std::vector<std::string>& messages) {
    auto writer = world.NewProcess();
    for (const std::string& m : messages) ASSERT_TRUE(writer->WriteMailslot(model.InboxName(), Span(m)));
    session.Poll([this](const vt::Event& e) { events.push_back(e); });
  }
  void Deliver(const std::string& message) { Deliver(std::vector<std::string>{message}); }

  // The latest text for the status line (UTF-8).
  std::string LastStatus() const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->kind == vt::EventKind::kStatus) return Utf8(it->text);
    return {};
  }

  // Every editor inbox's messages, by instance.
  std::map<int, std::vector<std::string>> AllReceived() {
    std::map<int, std::vector<std::string>> out;
    for (auto& e : editors)
      if (auto r = e->Received(); !r.empty()) out[e->instance] = r;
    return out;
  }

  // Registers `path` for an editor of `instance` and takes the answer away.
  int Register(Editor& editor, const std::string& path) {
    Deliver(Msg("@ADDFILEITEM@ 1 " + std::to_string(editor.instance) + " \"" + path + "\" \"\""));
    const auto r = editor.Received();
    EXPECT_EQ(r.size(), 1u);
    return r.empty() ? 0 : std::stoi(r[0].substr(std::string("@ADDFIRET@ ").size()));
  }

  gvtest::FakeWorld world;
  std::unique_ptr<gvtest::FakeProcess> process;
  vt::VantrelModel model;
  vt::VantrelSession session;
  std::vector<std::unique_ptr<Editor>> editors;
  std::vector<vt::Event> events;
  std::string log;
};

// ---- the command line -----------------------------------------------------------

TEST(VantrelCommandLine, AcceptsTheTwoFormsEditorsWrite) {
  struct Case {
    std::string line;
    vt::StartArguments want;
  };
  const std::vector<Case> cases = {
      {R"("C:\Program Files\Gv\Vantrel.exe" 10 20 810 620 1 0 /MI 0 "C:\DOCUME~1\a.txt")",
       {10, 20, 810, 620, 1, false, 0, R"(C:\DOCUME~1\a.txt)", ""}},
      {R"("C:\Gv\Vantrel.exe" 1 1 0 0 4 1 /MI 65535 "C:\proj\x.qvp")",
       {1, 1, 0, 0, 4, true, 65535, R"(C:\proj\x.qvp)", ""}},
      // Frames partly off the screen, a detected byte-order mark, blanks inside the file name.
      {"C:\\Gv\\Vantrel.exe -1200 -8 -10 500 -6 0 /MI 12 \"C:\\My Files\\b c.txt\"",
       {-1200, -8, -10, 500, -6, false, 12, "C:\\My Files\\b c.txt", ""}},
      {"\"V.exe\"\t5\t6  7 8 2 0 /MI 7 \"\"", {5, 6, 7, 8, 2, false, 7, "", ""}},
      {R"("V.exe" 0 0 0 0 1 0 /MI 1 "f" /LOG "C:\tmp\v log.bin")", {0, 0, 0, 0, 1, false, 1, "f", R"(C:\tmp\v log.bin)"}},
      {R"("V.exe" 0 0 0 0 1 0 /MI 1 "f" /LOG C:\tmp\v.log)", {0, 0, 0, 0, 1, false, 1, "f", R"(C:\tmp\v.log)"}},
      {"\"V.exe\" 2147483647 -2147483648 0 0 0 1 /MI 2 \"\x83\x5c\x83\x74\x83\x67.txt\"  ",
       {2147483647, -2147483648, 0, 0, 0, true, 2, "\x83\x5c\x83\x74\x83\x67.txt", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto a = vt::ParseCommandLine(c.line);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->left, c.want.left);
    EXPECT_EQ(a->top, c.want.top);
    EXPECT_EQ(a->right, c.want.right);
    EXPECT_EQ(a->bottom, c.want.bottom);
    EXPECT_EQ(a->charCode, c.want.charCode);
    EXPECT_EQ(a->project, c.want.project);
    EXPECT_EQ(a->infoWindow, c.want.infoWindow);
    EXPECT_EQ(a->file, c.want.file);
    EXPECT_EQ(a->logPath, c.want.logPath);
  }
}

TEST(VantrelCommandLine, RefusesEverythingElse) {
  const std::vector<std::string> bad = {
      "",
      "\"V.exe\"",
      "\"V.exe\" 1 1 0 0 1 0 /MI 3",                      // no file
      "\"V.exe\" 1 1 0 0 1 0 /MI 3 C:\\a.txt",            // file without quotes
      "\"V.exe\" 1 1 0 0 1 0 /mi 3 \"a\"",                // option spelt otherwise
      "\"V.exe\" 1 1 0 0 1 0 /MS 3 \"a\"",
      "\"V.exe\" 1 1 0 0 1 2 /MI 3 \"a\"",                // project flag 0 or 1
      "\"V.exe\" 1 1 0 0 7 0 /MI 3 \"a\"",                // character code
      "\"V.exe\" 1 1 0 0 -7 0 /MI 3 \"a\"",
      "\"V.exe\" 1 1 0 0 1 0 /MI 65536 \"a\"",            // info-window numbers are 16 bits
      "\"V.exe\" 1 1 0 0 1 0 /MI -1 \"a\"",
      "\"V.exe\" 1 1 0 0 1 0 /MI 3x \"a\"",
      "\"V.exe\" 2147483648 1 0 0 1 0 /MI 3 \"a\"",       // beyond 32 bits
      "\"V.exe\" 1 1 0 1 0 /MI 3 \"a\"",                  // a number missing
      "\"V.exe\" 1 1 0 0 0 1 0 /MI 3 \"a\"",              // one too many
      "\"V.exe\" 1 1 0 0 1 0 /MI 3 \"a\" extra",
      "\"V.exe\" 1 1 0 0 1 0 /MI 3 \"a",                  // unterminated quote
      "\"V.exe\" 1 1 0 0 1 0 /MI 3 \"a\"\"b\"",           // quotes run together
      "\"V.exe\" 1 1 0 0 1 0 /MI 3 \"a\" /LOG",           // log without a path
      "\"V.exe\" 1 1 0 0 1 0 /MI 3 \"a\" /LOG \"\"",
      "\"V.exe\" 1 1 0 0 1 0 /MI 3 \"a\" /log x",
      "\"V.exe\" 1 1 0 0 1 0 /LOG x /MI 3 \"a\"",
      "\"V.exe\" 1 1 0 0 + 0 /MI 3 \"a\"",
      "\"V.exe\" 1 1 0 0 - 0 /MI 3 \"a\"",
      "\"V.exe 1 1 0 0 1 0 /MI 3 a",
      "\"\" 1 1 0 0 1 0 /MI 3 \"a\"",
  };
  for (const std::string& line : bad) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(vt::ParseCommandLine(line).has_value());
  }
}

// ---- the test log ------------------------------------------------------------------

TEST(VantrelLog, RecordsCarryTheirLengthAndGiveBackEveryByte) {
  EXPECT_EQ(vt::LogRecord(Span(Msg("@TEST@"))), std::string("7:@TEST@\0\n", 10));
  EXPECT_EQ(vt::LogRecord({}), "0:\n");

  const std::vector<std::string> messages = {Msg("@TEST@"), "", std::string("a\n9:\0b\n", 7), "12:\n", "@SEARCHEND@ 3"};
  std::string log;
  for (const auto& m : messages) log += vt::LogRecord(Span(m));
  std::vector<std::string> back;
  ASSERT_TRUE(vt::ReadLog(log, &back));
  EXPECT_EQ(back, messages);

  for (const std::string& broken : {std::string("3:ab\n"), std::string("2:ab"), std::string("x:\n"),
                                    std::string(":\n"), std::string("2:abc\n")}) {
    std::vector<std::string> none;
    EXPECT_FALSE(vt::ReadLog(broken, &none)) << broken;
  }
}

TEST_F(VantrelTest, LogsEveryTextReadByteForByteWhetherUsedOrNot) {
  AddEditor(12);
  const std::vector<std::string> sent = {Msg("@TEST@"), "no tag at all", Msg("@ACTIVE@ 12 777"),
                                         std::string("@SCHLINE@ \0 junk", 16), Msg("@FOO@ 1"),
                                         "@SEARCHEND@ 0",  // an end report without its NUL
                                         std::string(5000, '\x81')};
  Deliver(sent);
  std::vector<std::string> logged;
  ASSERT_TRUE(vt::ReadLog(log, &logged));
  EXPECT_EQ(logged, sent);
  EXPECT_EQ(model.counters().received, sent.size());
}

// Empty messages and messages far larger than any an editor sends are read
// whole like the rest and logged, and never stand in front of later ones; an
// inbox that fails for a while loses nothing.
TEST_F(VantrelTest, ReadsEmptyAndLargeMessagesAndOutlastsAFailingInbox) {
  Editor& editor = AddEditor(12);
  const std::vector<std::string> sent = {"", "", Msg("@ACTIVE@ 12 777"), std::string(70000, '@'),
                                         Msg("@SCHLINE@ " + std::string(40000, 'x')), "", Msg("@ACTIVE@ 12 778")};
  Deliver(sent);
  std::vector<std::string> logged;
  ASSERT_TRUE(vt::ReadLog(log, &logged));
  EXPECT_EQ(logged, sent);
  EXPECT_EQ(editor.Received(), (std::vector<std::string>{Msg("@ACTIVEOK@"), Msg("@ACTIVEOK@")}));

  auto writer = world.NewProcess();
  ASSERT_TRUE(writer->WriteMailslot(model.InboxName(), Span(Msg("@ACTIVE@ 12 779"))));
  world.failInboxQueries = 2;
  const auto poll = [this] { return session.Poll([this](const vt::Event& e) { events.push_back(e); }); };
  EXPECT_EQ(poll(), -1);
  EXPECT_EQ(poll(), -1);
  EXPECT_EQ(poll(), 1);
  EXPECT_EQ(editor.Received(), std::vector<std::string>{Msg("@ACTIVEOK@")});
}

// ---- answers ---------------------------------------------------------------------------

TEST_F(VantrelTest, AnswersEveryRequestIntoTheSendersInbox) {
  struct Case {
    std::string request;
    int inbox;
    std::string reply;
  };
  const std::vector<Case> cases = {
      {"@ACTIVE@ 12 777", 12, "@ACTIVEOK@"},
      {"@ACTIVE@ 7702 778", 7702, "@ACTIVEOK@"},  // a forwarder's inbox carries 7702
      {"@ADDFILEITEM@ 1 12 \"C:\\a.txt\" \"\"", 12, "@ADDFIRET@ 1"},
      {"@SETMARKJUMP@ 12 1 5 4 note", 12, "@SETMARKJUMP@ 1"},
      {"@CHECKMARKJUMP@ 12 1 255 0 ", 12, "@CHECKMARKJUMP@ 1"},  // file 1 is 12's
      {"@SAVEMARKJUMPDATA@ 40 2 C:\\a b\\c.txt", 40, "@SAVEMJDATA_OK@"},
      {"@PROJECTSCH@ 12", 12, "@PROJSCHEND@"},
      {"@PROJECTREP@ 40", 40, "@PROJREPEND@"},
      {"@TELNETCOMPILESTART@ 12 make -k all", 12, "@TELNETCOMPILEEND@ 4"},
  };
  Editor& e12 = AddEditor(12);
  Editor& e40 = AddEditor(40);
  Editor& e7702 = AddEditor(7702);
  (void)e12, (void)e40, (void)e7702;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    Deliver(Msg(c.request));
    const std::map<int, std::vector<std::string>> want = {{c.inbox, {Msg(c.reply)}}};
    EXPECT_EQ(AllReceived(), want);
  }
  EXPECT_EQ(model.counters().handled, cases.size());
  EXPECT_EQ(session.failedWrites(), 0u);
}

TEST_F(VantrelTest, ComesToTheFrontBeforeItAnswersAnActivation) {
  AddEditor(12);
  const vt::Effects fx = model.Receive(Span(Msg("@ACTIVE@ 12 777")));
  ASSERT_EQ(fx.events.size(), 1u);
  EXPECT_EQ(fx.events[0], (vt::Event{vt::EventKind::kBringToFront, 777, ""}));
  ASSERT_EQ(fx.send.size(), 1u);
  EXPECT_EQ(fx.send[0].inbox, ipc::ObjectNames("tester").EditorInbox(12));
  // The forwarder is answered but never becomes a known editor.
  model.Receive(Span(Msg("@ACTIVE@ 7702 9")));
  EXPECT_EQ(model.editors().count(7702), 0u);
  EXPECT_EQ(model.editors().at(12).thread, 777u);
}

TEST_F(VantrelTest, NumbersFilesAndKeepsTheNumberOfAPathOpenedAgain) {
  Editor& a = AddEditor(12);
  Editor& b = AddEditor(13);
  Editor& c = AddEditor(14);
  EXPECT_EQ(Register(a, "C:\\src\\main.c"), 1);
  EXPECT_EQ(Register(b, "C:\\src\\util.c"), 2);
  // util.c's editor closes; another editor opens it again (spelt in other case).
  Deliver(Msg("@CLOSED@ 2"));
  EXPECT_EQ(model.editors().count(13), 0u);
  EXPECT_EQ(Register(c, "c:\\SRC\\Util.C"), 2);
  EXPECT_EQ(model.files().size(), 2u);
  EXPECT_EQ(model.files()[1].instance, 14);
  // An instance number that comes back with another file belonged to an editor that is gone.
  EXPECT_EQ(Register(a, "C:\\src\\new.c"), 3);
  EXPECT_EQ(model.files()[0].instance, 0);
  EXPECT_EQ(model.files()[2].instance, 12);
  // A renamed file keeps its number.
  Deliver(Msg("@CHANGEEDITFILE@ 4 3 C:\\src\\renamed.c"));
  EXPECT_EQ(model.files()[2].path, "C:\\src\\renamed.c");
  EXPECT_EQ(model.files()[2].charCode, 4);
}

TEST_F(VantrelTest, AttachesForAnEditorThatCouldNotAttachItself) {
  Editor& e = AddEditor(12);
  Deliver(Msg("@ACTIVE@ 12 777"));
  e.Received();
  events.clear();
  Deliver(Msg("@TID@ 3 777"));
  EXPECT_EQ(e.Received(), std::vector<std::string>{Msg("@TIDSETOK@")});
  EXPECT_EQ(events, (std::vector<vt::Event>{{vt::EventKind::kAttachInput, 777, ""}}));
  // Another info window's number, or a thread of no editor we know: nothing.
  Deliver(Msg("@TID@ 4 777"));
  Deliver(Msg("@TID@ 3 999"));
  EXPECT_TRUE(AllReceived().empty());
  EXPECT_EQ(model.counters().outOfRange, 2u);
}

TEST_F(VantrelTest, TellsTheEditorToCloseItsMarkJumpMapping) {
  auto editor = world.NewProcess();
  const std::string path = "C:\\a b\\x.txt";
  auto mapping = editor->CreateMapping(ipc::ObjectNames::MarkJumpFile(path), 8192, nullptr);
  ASSERT_TRUE(mapping);
  auto view = mapping->Map(0, 8192);
  Deliver(Msg("@MJMMFILE@ 1 " + path));
  EXPECT_EQ(view->bytes()[0], 2);
  EXPECT_EQ(view->bytes()[1], 0);
  // No mapping of that name: counted, nothing else happens.
  Deliver(Msg("@MJMMFILE@ 1 C:\\none.txt"));
  EXPECT_EQ(session.failedMarkFiles(), 1u);
}

// ---- bookmarks -------------------------------------------------------------------------

// Each editor sets the bookmarks of its own file; every request is answered,
// "0" for what cannot be kept. They are listed by file and mark, and go with
// their file's editor.
TEST_F(VantrelTest, KeepsTheBookmarksOfEachEditorsFile) {
  Editor& a = AddEditor(12);
  Editor& b = AddEditor(13);
  AddEditor(7702);
  ASSERT_EQ(Register(a, "C:\\a.txt"), 1);
  ASSERT_EQ(Register(b, "C:\\b.txt"), 2);
  struct Case {
    std::string request;
    int inbox;
    std::string answer;
  };
  const std::vector<Case> cases = {
      {"@SETMARKJUMP@ 12 1 5 9 two words", 12, "@SETMARKJUMP@ 1"},
      {"@SETMARKJUMP@ 12 1 2 0 ", 12, "@SETMARKJUMP@ 1"},
      {"@SETMARKJUMP@ 12 1 5 3 new", 12, "@SETMARKJUMP@ 1"},  // named anew
      {"@CHECKMARKJUMP@ 13 2 0 8 restored", 13, "@CHECKMARKJUMP@ 1"},
      {"@SETMARKJUMP@ 13 1 6 0 ", 13, "@SETMARKJUMP@ 0"},  // 12's file
      {"@SETMARKJUMP@ 12 9 6 0 ", 12, "@SETMARKJUMP@ 0"},  // no such file
      {"@CHECKMARKJUMP@ 7702 1 6 0 ", 7702, "@CHECKMARKJUMP@ 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    Deliver(Msg(c.request));
    const std::map<int, std::vector<std::string>> want = {{c.inbox, {Msg(c.answer)}}};
    EXPECT_EQ(AllReceived(), want);
  }
  EXPECT_EQ(model.marks(), (std::vector<vt::MarkEntry>{{12, 1, 2, ""}, {12, 1, 5, "new"}, {13, 2, 0, "restored"}}));
  EXPECT_EQ(model.counters().outOfRange, 3u);

  // The editor deletes one; a delete of what we do not have changes nothing.
  events.clear();
  Deliver({Msg("@DELETEMARKJUMP@ 1 2"), Msg("@DELETEMARKJUMP@ 1 2"), Msg("@DELETEMARKJUMP@ 2 5")});
  EXPECT_EQ(model.marks(), (std::vector<vt::MarkEntry>{{12, 1, 5, "new"}, {13, 2, 0, "restored"}}));
  EXPECT_EQ(events, (std::vector<vt::Event>{{vt::EventKind::kMarksChanged, 0, ""}}));
  EXPECT_TRUE(AllReceived().empty());

  // A 256th bookmark in one file is refused; renaming one still works.
  for (int mark = 0; mark <= 255; ++mark)
    Deliver(Msg("@SETMARKJUMP@ 13 2 " + std::to_string(mark) + " 1 m"));
  std::vector<std::string> answers(255, Msg("@SETMARKJUMP@ 1"));
  answers.push_back(Msg("@SETMARKJUMP@ 0"));
  EXPECT_EQ(b.Received(), answers);
  Deliver(Msg("@SETMARKJUMP@ 13 2 0 2 mm"));
  EXPECT_EQ(b.Received(), std::vector<std::string>{Msg("@SETMARKJUMP@ 1")});

  // Closed editors take their bookmarks with them, and so does an editor
  // that comes back with another file.
  Deliver(Msg("@CLOSED@ 2"));
  EXPECT_EQ(model.marks(), (std::vector<vt::MarkEntry>{{12, 1, 5, "new"}}));
  EXPECT_EQ(Register(a, "C:\\c.txt"), 3);
  EXPECT_TRUE(model.marks().empty());
}

// A double click on a bookmark is a mark jump for its editor; a delete in
// the list tells the editor. An editor that is gone loses its bookmarks.
TEST_F(VantrelTest, TheUserJumpsToAndDeletesBookmarks) {
  Editor& a = AddEditor(12);
  Editor& b = AddEditor(13);
  ASSERT_EQ(Register(a, "C:\\a.txt"), 1);
  ASSERT_EQ(Register(b, "C:\\b.txt"), 2);
  Deliver({Msg("@SETMARKJUMP@ 12 1 5 1 x"), Msg("@SETMARKJUMP@ 12 1 7 1 y"), Msg("@SETMARKJUMP@ 13 2 1 1 z")});
  AllReceived();

  EXPECT_EQ(session.JumpToMark(1), "");
  EXPECT_EQ(a.Received(), std::vector<std::string>{Msg("@EXECMJRET@ 7 4242 3")});
  // The editor could not attach for the jump: we attach to it.
  Deliver(Msg("@TID@ 3 555"));
  EXPECT_EQ(a.Received(), std::vector<std::string>{Msg("@TIDSETOK@")});

  events.clear();
  session.DeleteMark(0, [this](const vt::Event& e) { events.push_back(e); });
  EXPECT_EQ(a.Received(), std::vector<std::string>{Msg("@DELETEMARKJUMP@ 5")});
  EXPECT_EQ(events, (std::vector<vt::Event>{{vt::EventKind::kMarksChanged, 0, ""}}));
  EXPECT_EQ(model.marks(), (std::vector<vt::MarkEntry>{{12, 1, 7, "y"}, {13, 2, 1, "z"}}));

  // No such bookmark: nothing happens.
  session.DeleteMark(2, {});
  EXPECT_EQ(session.JumpToMark(2), "");
  EXPECT_TRUE(AllReceived().empty());
  EXPECT_EQ(model.counters().badClicks, 2u);

  b.inbox.reset();
  EXPECT_EQ(Utf8(session.JumpToMark(1)), "このブックマークのエディタは終了しています。");
  EXPECT_EQ(model.marks(), (std::vector<vt::MarkEntry>{{12, 1, 7, "y"}}));
}

TEST(VantrelSessionOpen, RefusesAnInboxAnotherInfoWindowHolds) {
  gvtest::FakeWorld world;
  auto first = world.NewProcess(), second = world.NewProcess();
  vt::VantrelModel a(vt::ModelConfig{5, "tester", 1, ""}), b(vt::ModelConfig{5, "tester", 2, ""});
  vt::VantrelSession sa(*first, a), sb(*second, b);
  EXPECT_TRUE(sa.Open());
  EXPECT_FALSE(sb.Open());
  EXPECT_TRUE(world.HasMailslot("\\\\.\\mailslot\\QV174i5tester"));
}

// ---- search listings and jumps -----------------------------------------------------------

class VantrelHitsTest : public VantrelTest {
 protected:
  void SetUp() override {
    owner = &AddEditor(12);
    ASSERT_EQ(Register(*owner, "C:\\src\\main.c"), 1);
    Deliver({Msg("@DISPSEARCH@"), Msg("@ACTIVE@ 12 777"), Msg("@SCHFILE@ 0 C:\\src\\main.c"),
             Msg("@SCHLINE@ 0001000000010003 (3): foo(x);\r\n"),
             Msg("@SCHLINE@ 0005000000010003 (20): abcdfoo @CLOSED@ 1\r\n"),
             Msg("@SCHLINE@ 0003000000020004 (31): a foo\r\n  bar\r\n"), "@SEARCHEND@ 3"});
    owner->Received();
  }
  Editor* owner = nullptr;
  RecordingStarter starter;
};

TEST_F(VantrelHitsTest, ListsEachHitWithItsPlaceAndText) {
  ASSERT_EQ(model.hits().size(), 3u);
  ASSERT_EQ(model.listings().size(), 1u);
  const vt::Listing& l = model.listings()[0];
  EXPECT_EQ(l.path, "C:\\src\\main.c");
  EXPECT_EQ(l.owner, 12);
  EXPECT_TRUE(l.ended);
  EXPECT_EQ(l.count, 3);
  EXPECT_EQ(l.hitCount, 3u);
  const vt::Hit& h = model.hits()[1];
  EXPECT_EQ(h.line, 20);
  EXPECT_EQ(h.column, 5u);
  EXPECT_EQ(h.span, 1u);
  EXPECT_EQ(h.length, 3u);
  // The text after the tag is data: a command inside it stays text.
  EXPECT_EQ(h.text, "abcdfoo @CLOSED@ 1");
  EXPECT_EQ(model.files()[0].instance, 12);
  EXPECT_EQ(model.hits()[2].text, "a foo\r\n  bar");
  EXPECT_EQ(LastStatus(), "検索終了: 3 件");
}

TEST_F(VantrelHitsTest, ADoubleClickAsksTheOwnerToJump) {
  struct Case {
    std::size_t hit;
    std::string jump;
  };
  const std::vector<Case> cases = {
      {0, "@ACTIVE@ 3 0001 0003 4242 3 foo"},
      {1, "@ACTIVE@ 20 0005 0003 4242 3 foo"},
      {2, "@ACTIVE@ 31 0003 0004 4242 3 "},  // a match over two lines: no text to check
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jump);
    EXPECT_EQ(session.Jump(c.hit, starter), "");
    EXPECT_EQ(owner->Received(), std::vector<std::string>{Msg(c.jump)});
  }
  EXPECT_TRUE(starter.started.empty());
  // Hit indexes are checked before they pick anything.
  EXPECT_EQ(session.Jump(3, starter), "");
  EXPECT_EQ(session.Jump(static_cast<std::size_t>(-1), starter), "");
  EXPECT_TRUE(AllReceived().empty());
  EXPECT_EQ(model.counters().badClicks, 2u);
}

TEST_F(VantrelHitsTest, StartsAnEditorWhenTheOwnerClosed) {
  Deliver(Msg("@CLOSED@ 1"));
  EXPECT_EQ(model.listings()[0].owner, 0);
  EXPECT_EQ(Utf8(session.Jump(1, starter)), "エディタを起動しています: C:\\src\\main.c");
  EXPECT_EQ(starter.started, std::vector<std::string>{"\"C:\\Tools\\Gorvane_0174.exe\" \"C:\\src\\main.c\" /MS 3 /FN 1"});
  EXPECT_TRUE(AllReceived().empty());
  EXPECT_EQ(model.pendingStart(), "C:\\src\\main.c");
  // The started editor could not open the file.
  Deliver(Msg("@CANTOPEN@"));
  EXPECT_EQ(model.pendingStart(), "");
  EXPECT_EQ(LastStatus(), "エディタがファイルを開けませんでした: C:\\src\\main.c");
}

TEST_F(VantrelHitsTest, StartsAnEditorWhenTheOwnersInboxIsGone) {
  owner->process->Die();
  EXPECT_EQ(Utf8(session.Jump(0, starter)), "エディタを起動しています: C:\\src\\main.c");
  EXPECT_EQ(starter.started.size(), 1u);
  EXPECT_EQ(model.editors().count(12), 0u);
}

TEST_F(VantrelHitsTest, AFailedStartIsReportedAndForgotten) {
  Deliver(Msg("@CLOSED@ 1"));
  starter.succeed = false;
  EXPECT_EQ(Utf8(session.Jump(0, starter)), "エディタを起動できませんでした: C:\\src\\main.c");
  EXPECT_EQ(model.pendingStart(), "");
  // The editor that registers the file later owns the listing's file again.
  Editor& again = AddEditor(30);
  EXPECT_EQ(Register(again, "C:\\src\\main.c"), 1);
}

TEST_F(VantrelHitsTest, AListingOfAnUnregisteredFileBelongsToTheEditorThatAnnouncedIt) {
  Editor& other = AddEditor(50);
  Deliver({Msg("@ACTIVE@ 50 999"), Msg("@SCHFILE@ 1 C:\\tmp\\new.txt"), Msg("@SCHLINE@ 0002000000010001 (1): xy\r\n"),
           Msg("@SEARCHEND@ 1")});
  other.Received();
  EXPECT_EQ(model.listings().back().owner, 50);
  EXPECT_TRUE(model.listings().back().range);
  session.Jump(3, starter);
  EXPECT_EQ(other.Received(), std::vector<std::string>{Msg("@ACTIVE@ 1 0002 0001 4242 3 y")});
}

TEST_F(VantrelHitsTest, ClearingKeepsAListingStillOpen) {
  Deliver({Msg("@SCHFILE@ 0 C:\\src\\main.c"), Msg("@SCHLINE@ 0001000000010001 (1): a\r\n")});
  model.ClearHits();
  EXPECT_TRUE(model.hits().empty());
  Deliver({Msg("@SCHLINE@ 0001000000010001 (2): b\r\n"), Msg("@SEARCHEND@ 2")});
  ASSERT_EQ(model.listings().size(), 1u);
  EXPECT_EQ(model.listings()[0].hitCount, 1u);
  EXPECT_EQ(model.hits()[0].listing, 0u);
  EXPECT_EQ(model.counters().outOfSequence, 0u);
}

TEST_F(VantrelHitsTest, AReplaceAllReportsItsLinesWithoutAFile) {
  Deliver({Msg("@DISPSEARCH@"), Msg("@SCHLINE@ 0001000000010001 (7): x\r\n"), Msg("@REPLACEEND@ 1")});
  ASSERT_EQ(model.listings().size(), 2u);
  EXPECT_EQ(model.listings()[1].path, "");
  EXPECT_TRUE(model.listings()[1].ended);
  EXPECT_EQ(Utf8(session.Jump(3, starter)), "このヒットのファイルが分かりません。");
  EXPECT_TRUE(starter.started.empty());
  EXPECT_TRUE(AllReceived().empty());
}

// ---- build output -----------------------------------------------------------------------------

TEST_F(VantrelTest, BuildOutputIsTextEvenWhenItLooksLikeAMessage) {
  Editor& e = AddEditor(12);
  ASSERT_EQ(Register(e, "C:\\src\\main.c"), 1);
  Deliver({Msg("@DISPCOMPILE@"), Msg("gcc -c main.c\r\n"), Msg("@@CLOSED@ 1\r\n"), Msg("@@ACTIVE@ 12 777\r\n"),
           Msg("@@ADDFILEITEM@ 1 12 \"C:\\x\" \"\"\r\n"), Msg("partial "), Msg("line\r\n"), Msg("no newline")});
  EXPECT_TRUE(model.building());
  EXPECT_EQ(model.partialOutputLine(), "no newline");
  Deliver(Msg("@COMPILEEND@"));
  const std::deque<std::string> want = {"gcc -c main.c", "@CLOSED@ 1", "@ACTIVE@ 12 777",
                                        "@ADDFILEITEM@ 1 12 \"C:\\x\" \"\"", "partial line", "no newline"};
  EXPECT_EQ(model.outputLines(), want);
  EXPECT_FALSE(model.building());
  // None of it was taken for a command: no answer, the editor still has its file.
  EXPECT_TRUE(AllReceived().empty());
  EXPECT_EQ(model.files().size(), 1u);
  EXPECT_EQ(model.files()[0].instance, 12);
  EXPECT_EQ(model.counters().outputPieces, 7u);
  // An unescaped line end after a tag is not a message either.
  Deliver(Msg("@CLOSED@ 1\r\n"));
  EXPECT_EQ(model.files()[0].instance, 12);
  EXPECT_EQ(model.counters().malformed, 1u);
}

TEST_F(VantrelTest, TextWithoutATagOutsideABuildIsIgnored) {
  Deliver({Msg("gcc -c main.c\r\n"), Msg("@@CLOSED@ 1\r\n")});
  EXPECT_TRUE(model.outputLines().empty());
  EXPECT_EQ(model.counters().notTagged, 2u);
  // A new build starts with an empty pane.
  Deliver({Msg("@DISPCOMPILE@"), Msg("one\r\n"), Msg("@COMPILEEND@"), Msg("@DISPCOMPILE@"), Msg("two\r\n")});
  EXPECT_EQ(model.outputLines(), std::deque<std::string>{"two"});
}

TEST_F(VantrelTest, BuildOutputIsBoundedAndLongLinesAreCut) {
  Deliver(Msg("@DISPCOMPILE@"));
  const std::string lines(30000, '\n');
  Deliver({Msg(lines), Msg(lines)});
  EXPECT_EQ(model.outputLines().size(), vt::kMaxOutputLines);
  EXPECT_EQ(model.outputLinesDropped(), 60000u - vt::kMaxOutputLines);
  Deliver(Msg(std::string(vt::kMaxOutputLineBytes + 10, 'x') + "\r\n"));
  EXPECT_EQ(model.outputLines()[model.outputLines().size() - 2].size(), vt::kMaxOutputLineBytes);
  EXPECT_EQ(model.outputLines().back(), std::string(10, 'x'));
}

// ---- what is ignored ----------------------------------------------------------------------------

TEST_F(VantrelTest, IgnoresAndCountsWhatItCannotTakeWhole) {
  struct Case {
    std::string text;
    vt::Disposition want;
  };
  const std::vector<Case> cases = {
      {Msg("ACTIVE@ 12 5"), vt::Disposition::kNotTagged},
      {Msg(""), vt::Disposition::kNotTagged},
      {Msg("@"), vt::Disposition::kNotTagged},
      {Msg("@active@ 12 5"), vt::Disposition::kNotTagged},
      {Msg("@FOO@ 1"), vt::Disposition::kUnknown},
      {Msg("@SAVE@"), vt::Disposition::kUnknown},  // what we send editors, not what they send us
      {Msg("@PROJSCHEND@"), vt::Disposition::kUnknown},
      {Msg("@ACTIVE@ 7701 5"), vt::Disposition::kMalformed},  // instances are 1..7700 and 7702
      {Msg("@ACTIVE@ 0 5"), vt::Disposition::kMalformed},
      {Msg("@ACTIVE@ 12"), vt::Disposition::kMalformed},
      {Msg("@ACTIVE@  12 5"), vt::Disposition::kMalformed},
      {Msg("@ACTIVE@ 12 5 "), vt::Disposition::kMalformed},
      {Msg("@ACTIVE@ 012 5"), vt::Disposition::kMalformed},
      {Msg("@ADDFILEITEM@ 1 12 C:\\a.txt \"\""), vt::Disposition::kMalformed},
      {Msg("@ADDFILEITEM@ 1 7701 \"C:\\a.txt\" \"\""), vt::Disposition::kMalformed},
      {Msg("@SETMARKJUMP@ 12 1 5 9 note"), vt::Disposition::kMalformed},  // the length does not match
      {Msg("@SETMARKJUMP@ 12 1 256 4 note"), vt::Disposition::kMalformed},
      {Msg("@SCHLINE@ 0005000000010003 (20): no line end"), vt::Disposition::kMalformed},
      {Msg("@SCHLINE@ 000500000001003 (20): x\r\n"), vt::Disposition::kMalformed},
      {Msg("@CLOSED@ 99"), vt::Disposition::kOutOfRange},  // no file 99
      {Msg("@CLOSED@ 0"), vt::Disposition::kOutOfRange},
      {Msg("@CHANGEEDITFILE@ 1 99 C:\\x"), vt::Disposition::kOutOfRange},
      {Msg("@TID@ 3 0"), vt::Disposition::kOutOfRange},
      {Msg("@SEARCHEND@ 3"), vt::Disposition::kOutOfSequence},  // no listing open
      {Msg("@COMPILEEND@"), vt::Disposition::kOutOfSequence},
      {Msg("@CANTOPEN@"), vt::Disposition::kOutOfSequence},  // we started no editor
  };
  AddEditor(12);
  AddEditor(7701);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const vt::Effects fx = model.Receive(Span(c.text));
    EXPECT_EQ(fx.disposition, c.want);
    EXPECT_TRUE(fx.send.empty());
    EXPECT_TRUE(fx.markFiles.empty());
  }
  EXPECT_TRUE(model.files().empty());
  EXPECT_TRUE(model.editors().empty());
  EXPECT_TRUE(model.hits().empty());
  vt::Counters want;
  want.received = cases.size();
  want.notTagged = 4;
  want.unknown = 3;
  want.malformed = 12;
  want.outOfRange = 4;
  want.outOfSequence = 3;
  EXPECT_EQ(model.counters(), want);
}

}  // namespace

// The window takes its own place: the remembered one (kept on the work area),
// else the screen's centre.
TEST(VantrelPlace, RememberedOrCentred) {
  const vt::ScreenRect work{0, 0, 1024, 740};
  struct Case {
    const char* what;
    vt::ScreenRect remembered, place;
  } cases[] = {
      {"nothing remembered: the centre", {}, {232, 160, 792, 580}},
      {"remembered", {10, 20, 610, 520}, {10, 20, 610, 520}},
      {"partly off to the right", {900, 20, 1500, 520}, {424, 20, 1024, 520}},
      {"above and left of the screen", {-300, -50, 300, 450}, {0, 0, 600, 500}},
      {"larger than the screen", {0, 0, 2000, 2000}, {0, 0, 1024, 740}},
      {"numbers no window has", {-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647}, {0, 0, 1024, 740}},
      {"far off to the left", {-2000000000, 10, -1999999000, 300}, {0, 10, 1000, 300}},
  };
  for (const Case& c : cases) {
    const vt::ScreenRect r = vt::InfoWindowPlace(c.remembered, work);
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}),
              std::vector<int>({c.place.left, c.place.top, c.place.right, c.place.bottom}))
        << c.what;
  }
}
