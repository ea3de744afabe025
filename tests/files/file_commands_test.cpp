#include "files/file_commands.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "companions/qorvetc/tmpcache.h"
#include "support/fake_host.h"
#include "support/memory_file_system.h"
#include "support/memory_page_file.h"

namespace gf = gorvane::files;
namespace doc = gorvane::document;
using gorvane::document::LineNo;
using gorvane::base::BoxAnswer;

namespace {

// Dialogs answered from queues; an empty queue cancels.
class ScriptedDialogs : public gf::FileDialogs {
 public:
  std::deque<gf::OpenEntry> open, insert;
  std::deque<std::pair<std::string, gf::SaveOptions>> saveAs;
  std::deque<gf::SaveOptions> codes;
  std::vector<std::string> shown;

  bool ChooseFileToOpen(int, gf::OpenEntry* chosen) override { return Take(open, chosen, "open"); }
  bool ChooseFileToInsert(gf::OpenEntry* chosen) override { return Take(insert, chosen, "insert"); }
  bool ChooseSaveAsName(const gf::DocumentFile&, bool allowAdd, std::string* path, gf::SaveOptions* options) override {
    shown.push_back(allowAdd ? "save as (add box)" : "save as");
    if (saveAs.empty()) return false;
    *path = saveAs.front().first;
    *options = saveAs.front().second;
    saveAs.pop_front();
    return true;
  }
  bool ChooseCodeAndLineEnd(const gf::DocumentFile&, gf::SaveOptions* options) override {
    return Take(codes, options, "code");
  }

 private:
  template <typename T>
  bool Take(std::deque<T>& q, T* out, const char* name) {
    shown.push_back(name);
    if (q.empty()) return false;
    *out = q.front();
    q.pop_front();
    return true;
  }
};

// An editor of a group whose lock another editor may hold.
class Group : public gf::OpenFileRegistry {
 public:
  bool HeldElsewhere(std::string_view) override { return false; }
  bool Claim(std::string_view) override { return true; }
  bool LockGroup(bool wait) override {
    tries.push_back(wait);
    if (busy) return false;
    held = true;
    return true;
  }
  void UnlockGroup() override { held = false; }
  bool groupLockHeld() const override { return held; }
  bool connectedToInfoWindow() override { return connected; }
  bool busy = false, held = false, connected = false;
  std::vector<bool> tries;  // wait or not, in order
};

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc::LineStoreSettings s;
    s.cache = gorvane::qorvetc::CacheSettings{doc::SanePageSize(0), 3};
    ASSERT_TRUE(store.Start(s, gvtest::MemoryPageFiles()));
    fs.PutFolder("/d");
    fs.Put("/d/a.txt", "alpha\r\nbeta");
    fs.Put("/d/b.txt", "other");
    ASSERT_TRUE(loader.NewDocument());
  }
  void Edit(const std::string& text) {
    ASSERT_TRUE(store.SetLineText(store.BringIntoWindow(0, LineNo(1)), text));
    file.modified = true;
  }
  std::string Line(int n) {
    std::string s;
    store.ReadLine(LineNo(n), &s);
    return s;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : host.boxes) out.push_back(b.text);
    return out;
  }

  gvtest::FakeHost host;
  gorvane::qorvetc::TmpCache cache;
  doc::LineStore store{host, cache};
  gvtest::MemoryFileSystem fs;
  Group registry;
  gf::DocumentFile file;
  gf::WriteSettings settings;
  gf::FileContext ctx{host, store, fs, registry, file, settings};
  gf::Loader loader{ctx};
  ScriptedDialogs dialogs;
  gf::FileCommands commands{ctx, loader, dialogs};
};

// Opening over a modified document asks first; each answer does what it says.
TEST_F(FileCommandsTest, OpenAsksToSaveAModifiedDocument) {
  const gf::OpenEntry a{"/d/a.txt", 0, false};
  ASSERT_EQ(commands.OpenFileCommand(0, &a), 1);
  struct Case {
    const char* what;
    BoxAnswer answer;
    int result;
    std::string path;       // the document's afterwards
    std::string aOnDisk;    // /d/a.txt afterwards
  } cases[] = {
      {"cancel", BoxAnswer::Cancel, 0, "/d/a.txt", "alpha\r\nbeta"},
      {"no", BoxAnswer::No, 1, "/d/b.txt", "alpha\r\nbeta"},
      {"yes", BoxAnswer::Yes, 1, "/d/b.txt", "edited\r\nbeta"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs.Put("/d/a.txt", "alpha\r\nbeta");
    file.path = "elsewhere";
    ASSERT_EQ(commands.OpenFileCommand(0, &a), 1);
    Edit("edited\r\n");
    host.boxes.clear();
    host.answers = {c.answer};
    dialogs.open = {gf::OpenEntry{"/d/b.txt", 0, false}};
    EXPECT_EQ(commands.OpenFileCommand(0), c.result);
    ASSERT_FALSE(host.boxes.empty());
    EXPECT_EQ(host.boxes[0].text, "データが変更されています。保存しますか？");
    EXPECT_EQ(file.path, c.path);
    EXPECT_EQ(fs.Get("/d/a.txt"), c.aOnDisk);
  }
  // A cancelled dialog leaves everything.
  host.answers.clear();
  dialogs.open.clear();
  EXPECT_EQ(commands.OpenFileCommand(0), 0);
  EXPECT_EQ(file.path, "/d/b.txt");
}

// A new document has no file: saving it asks for a name, also from the
// question before New.
TEST_F(FileCommandsTest, SavingANewDocumentAsksForAName) {
  Edit("fresh");
  dialogs.saveAs = {{"/d/new.txt", gf::SaveOptions{0, 2, 0, 0}}};
  EXPECT_EQ(commands.SaveCommand(), gf::kSaved);
  EXPECT_EQ(file.path, "/d/new.txt");
  EXPECT_EQ(fs.Get("/d/new.txt"), "fresh");
  EXPECT_EQ(file.code, 2);

  ASSERT_TRUE(commands.NewFileCommand());  // not modified: no question
  Edit("second");
  host.answers = {BoxAnswer::Yes};
  dialogs.saveAs.clear();  // the user cancels the name
  EXPECT_FALSE(commands.NewFileCommand());
  EXPECT_EQ(Line(1), "second");
  dialogs.saveAs = {{"/d/second.txt", gf::SaveOptions{}}};
  host.answers = {BoxAnswer::Yes};
  EXPECT_TRUE(commands.NewFileCommand());
  EXPECT_EQ(fs.Get("/d/second.txt"), "second");
  EXPECT_TRUE(file.isNew());
}

TEST_F(FileCommandsTest, SaveWithCodeAndWriteProtection) {
  dialogs.open = {gf::OpenEntry{"/d/a.txt", 0, false}};
  ASSERT_EQ(commands.OpenFileCommand(0), 1);
  dialogs.codes = {gf::SaveOptions{0, 6, 3, 0}};  // UTF-16LE, LF
  EXPECT_EQ(commands.SaveWithCodeCommand(), gf::kSaved);
  EXPECT_EQ(fs.Get("/d/a.txt"), std::string("a\0l\0p\0h\0a\0\n\0b\0e\0t\0a\0", 20));
  EXPECT_EQ(file.code, 6);

  struct Case {
    const char* what;
    bool macro, modified;
    std::vector<BoxAnswer> answers;
    bool protectedAfter;
    std::string box, status;
  } cases[] = {
      {"during a macro", true, false, {}, false, "キーボードマクロ記録・再生中は書き込み禁止にできません。", ""},
      {"modified, answered no", false, true, {BoxAnswer::No}, false,
       "書き込み禁止モードに移行するには編集中のファイルを保存する必要があります。\n保存しますか？", ""},
      {"modified, answered yes", false, true, {BoxAnswer::Yes}, true,
       "書き込み禁止モードに移行するには編集中のファイルを保存する必要があります。\n保存しますか？", ""},
      {"unmodified", false, false, {}, true, "", "ﾃﾞｰﾀに変更はありません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    file.readOnly = file.writeProtectMode = false;
    file.modified = c.modified;
    host.boxes.clear();
    host.statuses.clear();
    host.answers.assign(c.answers.begin(), c.answers.end());
    commands.ToggleWriteProtect(c.macro);
    EXPECT_EQ(file.writeProtectMode, c.protectedAfter);
    EXPECT_EQ(file.readOnly, c.protectedAfter);
    if (!c.box.empty()) {
      ASSERT_FALSE(host.boxes.empty());
      EXPECT_EQ(host.boxes[0].text, c.box);
    }
    if (!c.status.empty()) {
      ASSERT_FALSE(host.statuses.empty());
      EXPECT_EQ(host.statuses.back(), c.status);
    }
  }
  // Protected: Save and Save with code are refused; toggling again lifts it.
  host.statuses.clear();
  EXPECT_EQ(commands.SaveCommand(), gf::kSaveFailed);
  EXPECT_EQ(commands.SaveWithCodeCommand(), gf::kSaveFailed);
  EXPECT_EQ(host.statuses, (std::vector<std::string>{"書き込み禁止です。", "書き込み禁止です。"}));
  commands.ToggleWriteProtect(false);
  EXPECT_FALSE(file.readOnly);
  // A file that is read-only itself stays so.
  file.readOnly = true;
  commands.ToggleWriteProtect(false);
  EXPECT_TRUE(file.readOnly);
  EXPECT_FALSE(file.writeProtectMode);
}

// The info window asks the editor to close, in four modes.
TEST_F(FileCommandsTest, ClosingOnRequest) {
  struct Case {
    int mode;
    bool modified, readOnly, saveFails;
    bool close;
    int flag;
    std::string onDisk, status;
  } cases[] = {
      {1, true, false, false, true, -1, "changed", "上書き保存しました。"},
      {3, true, false, false, true, 0, "changed", "上書き保存しました。"},
      {0, true, false, false, true, 1, "alpha\r\nbeta", "ﾃﾞｰﾀを破棄します。"},
      {2, true, false, false, true, 0, "alpha\r\nbeta", "ﾃﾞｰﾀを破棄します。"},
      {1, false, false, false, true, 1, "alpha\r\nbeta", "ﾃﾞｰﾀに変更はありません。"},
      {3, true, true, false, true, 0, "alpha\r\nbeta", "ﾃﾞｰﾀに変更はありません。"},
      {1, true, false, true, false, -1, "alpha\r\nbeta", ""},  // the save fails: stay open
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    fs.Put("/d/a.txt", "alpha\r\nbeta");
    file.path = "x";
    dialogs.open = {gf::OpenEntry{"/d/a.txt", 0, false}};
    ASSERT_EQ(commands.OpenFileCommand(0), 1);
    ASSERT_TRUE(store.SetLineText(store.BringIntoWindow(0, LineNo(1)), "changed"));
    ASSERT_TRUE(store.DeleteLine(LineNo(2)));
    file.modified = c.modified;
    file.readOnly = c.readOnly;
    fs.failReplace = c.saveFails;
    host.statuses.clear();
    const gf::CloseDecision d = gf::CloseOnRequest(ctx, c.mode);
    fs.failReplace = false;
    EXPECT_EQ(d.close, c.close);
    EXPECT_EQ(d.statusFlag, c.flag);
    EXPECT_EQ(fs.Get("/d/a.txt"), c.onDisk);
    if (!c.status.empty()) {
      ASSERT_FALSE(host.statuses.empty());
      EXPECT_EQ(host.statuses.back(), c.status);
    }
  }
  EXPECT_FALSE(gf::CloseOnRequest(ctx, 7).close);
}

TEST_F(FileCommandsTest, InsertAsksWhereAndInsertsThere) {
  dialogs.open = {gf::OpenEntry{"/d/a.txt", 0, false}};
  ASSERT_EQ(commands.OpenFileCommand(0), 1);
  fs.Put("/d/ins.txt", "new\r\n");
  struct Case {
    bool selection;
    BoxAnswer answer;
    int result;
    std::string question;
    std::string line1, line2;
  } cases[] = {
      {false, BoxAnswer::No, 0, "現在の編集行の上にファイルが挿入されます。よろしいですか？", "alpha\r\n", "beta"},
      {true, BoxAnswer::Yes, 1, "選択されている範囲の先頭行の上にファイルを挿入します。よろしいですか？", "new\r\n",
       "alpha\r\n"},
  };
  for (const Case& c : cases) {
    host.boxes.clear();
    host.answers = {c.answer};
    dialogs.insert = {gf::OpenEntry{"/d/ins.txt", 0, false}};
    EXPECT_EQ(commands.InsertFileCommand(LineNo(2), c.selection, LineNo(1)), c.result);
    ASSERT_FALSE(host.boxes.empty());
    EXPECT_EQ(host.boxes[0].text, c.question);
    EXPECT_EQ(Line(1), c.line1);
    EXPECT_EQ(Line(2), c.line2);
  }
}

}  // namespace

// While another editor of the group does document-changing work, every file
// command is refused at once, on the status bar, and changes nothing; once
// it is done, the command holds the lock for its own work and gives it back.
TEST_F(FileCommandsTest, CommandsTakeTurnsWithTheGroup) {
  Edit("mine");
  const std::string before = file.path;
  struct Case {
    const char* name;
    std::function<void(gf::FileCommands&)> run;
  } cases[] = {
      {"open", [](gf::FileCommands& c) { c.OpenFileCommand(0); }},
      {"new", [](gf::FileCommands& c) { c.NewFileCommand(); }},
      {"insert", [](gf::FileCommands& c) { c.InsertFileCommand(LineNo(1), false, LineNo(1)); }},
      {"save", [](gf::FileCommands& c) { c.SaveCommand(); }},
      {"save as", [](gf::FileCommands& c) { c.SaveAsCommand(); }},
      {"save with code", [](gf::FileCommands& c) { c.SaveWithCodeCommand(); }},
      {"write protection", [](gf::FileCommands& c) { c.ToggleWriteProtect(false); }},
  };
  registry.busy = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.boxes.clear();
    host.statuses.clear();
    dialogs.shown.clear();
    registry.tries.clear();
    c.run(commands);
    EXPECT_EQ(registry.tries, std::vector<bool>{false});
    EXPECT_EQ(host.statuses, std::vector<std::string>{"何らかの処理中です。"});
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(file.path, before);
    EXPECT_TRUE(file.modified);
    EXPECT_FALSE(file.readOnly);
    EXPECT_EQ(Line(1), "mine");
  }
  // Free again: Save As holds the lock through the dialog and the save.
  registry.busy = false;
  registry.tries.clear();
  dialogs.saveAs.push_back({"/d/saved.txt", gf::SaveOptions{}});
  EXPECT_EQ(commands.SaveAsCommand(), gf::kSaved);
  EXPECT_EQ(fs.Get("/d/saved.txt"), "mine");
  EXPECT_EQ(registry.tries, (std::vector<bool>{false, true}));
  EXPECT_FALSE(registry.held);
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"save as"});

  // Connected to the info window, the dialog offers its box.
  registry.connected = true;
  dialogs.shown.clear();
  commands.SaveAsCommand();
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"save as (add box)"});
}
