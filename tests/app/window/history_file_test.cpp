// The history file: load with the SDK root from the registry, pruning, save, and the real
// Tolvar.exe started on a prepared file.
#include "window_fixture.h"

#include <atomic>
#include <thread>

#include "history_store.h"
#include "history_text.h"
#include "win32_handles.h"

namespace tolvar::testing {
namespace {

// The sections of a profile file, with their FileName values, as the system reads them.
std::vector<std::pair<std::string, std::string>> Sections(const fs::path& ini) {
    std::string names(1 << 20, '\0');
    const DWORD n =
        GetPrivateProfileSectionNamesA(names.data(), DWORD(names.size()), ini.string().c_str());
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t at = 0; at < n;) {
        const std::string name(names.c_str() + at);
        char value[1024] = {};
        GetPrivateProfileStringA(name.c_str(), "FileName", "<none>", value, sizeof value,
                                 ini.string().c_str());
        out.emplace_back(name, value);
        at += name.size() + 1;
    }
    return out;
}

class HistoryFileTest : public WindowTest {
  protected:
    fs::path Ini() const { return m_dir.path() / "Tolvar.ini"; }
    std::string Dir() const { return m_dir.path().string(); }
};

TEST_F(HistoryFileTest, RootPlaceholderIsExpandedFromTargetDir) {
    const fs::path sdk = m_dir.path() / "sdk";
    fs::create_directories(sdk / "bin");
    fs::create_directories(sdk / "r" / "mr");
    fs::create_directories(sdk / "r" / "bin");
    for (auto f : {"r/bin/a.dll", "r/mr/n.dll", "b.ocx", "7c.exe", "c.exe"}) Touch(sdk / f);
    Touch(m_dir.path() / "sdkc.exe");
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(sdk.string().c_str());  // for roots that leave a relative path
    WriteFile(Ini(),
              "[<Zelvo_ROOT>\\bin\\a.dll]\r\nFileName=a.dll\r\n"
              "[<zelvo_root>\\b.ocx]\r\nFileName=lower\r\n"
              "[<Zelvo_ROOT>\\m<Zelvo_ROOT>\\n.dll]\r\nFileName=twice\r\n");
    {
        m_sdk.SetText("r\\");
        Open();
        // The lower-case placeholder is not expanded, so that entry's file is gone.
        EXPECT_EQ(Keys(Form().History()),
                  (std::vector<std::wstring>{L"r\\bin\\a.dll", L"r\\mr\\n.dll"}));
        EXPECT_EQ(Form().History().Item(1).Text, L"a.dll");
        EXPECT_EQ(Form().Text(), L"r\\bin\\a.dll");
        EXPECT_EQ(Form().Tag(), L"a.dll");
        DestroyWindow(m_hwnd);
        m_sdk.Remove();
    }
    struct Case {
        DWORD type;
        std::string data;
        std::string section;
        fs::path expected;  // relative to the current directory when the root is not absolute
    };
    const std::string noFinalSlash = sdk.string();
    const std::vector<Case> cases{
        {REG_SZ, noFinalSlash + '\0', "<Zelvo_ROOT>\\c.exe", m_dir.path() / "sdkc.exe"},
        {REG_EXPAND_SZ, std::string("%TOLVAR_TEST_SDK%\\") + '\0', "<Zelvo_ROOT>\\c.exe",
         sdk / "c.exe"},
        {REG_DWORD, std::string("\x07\0\0\0", 4), "<Zelvo_ROOT>\\c.exe", sdk / "7c.exe"},
        {REG_MULTI_SZ, std::string("a\0b\0\0", 5), "<Zelvo_ROOT>\\c.exe", sdk / "c.exe"},
        {REG_BINARY, "\x01\x02", "<Zelvo_ROOT>\\c.exe", sdk / "c.exe"},
    };
    SetEnvironmentVariableA("TOLVAR_TEST_SDK", sdk.string().c_str());
    for (const Case& c : cases) {
        m_sdk.Set(c.type, c.data);
        WriteFile(Ini(), "[" + c.section + "]\r\nFileName=c.exe\r\n[" + (sdk / "b.ocx").string() +
                             "]\r\nFileName=b.ocx\r\n");
        Open();
        const std::wstring expected = c.type == REG_DWORD       ? L"7c.exe"
                                      : c.type == REG_SZ        ? c.expected.wstring()
                                      : c.type == REG_EXPAND_SZ ? c.expected.wstring()
                                                                : L"c.exe";
        // Every kind of root loads everything after it, too.
        EXPECT_EQ(Keys(Form().History()),
                  (std::vector<std::wstring>{expected, (sdk / "b.ocx").wstring()}))
            << c.type;
        DestroyWindow(m_hwnd);
        m_sdk.Remove();
    }
    // Without the key the placeholder is simply removed.
    WriteFile(Ini(), "[<Zelvo_ROOT>\\c.exe]\r\nFileName=c.exe\r\n");
    Open();
    EXPECT_EQ(Keys(Form().History()), (std::vector<std::wstring>{L"c.exe"}));
    SetCurrentDirectoryA(previous);
}

// A root the ANSI code page cannot hold, read as the question marks it would become there, names
// no file: every entry below it would be pruned at start and gone from the file at close.
TEST_F(HistoryFileTest, ARootNamedOutsideTheAnsiCodePageKeepsItsEntries) {
    const fs::path sdk = m_dir.path() / L"\x0417\x0435\x043B\x044C\x0432\x043E";
    if (!MakeFolders(sdk / "bin")) GTEST_SKIP() << kNoUnicodeNames;
    Touch(sdk / "bin" / "a.dll");
    m_sdk.SetText(sdk.wstring() + L"\\");
    WriteFile(Ini(), "[<Zelvo_ROOT>\\bin\\a.dll]\r\nFileName=a.dll\r\n");
    const std::vector<std::wstring> expanded{(sdk / "bin" / "a.dll").wstring()};
    Open();
    EXPECT_EQ(Keys(Form().History()), expanded);
    Close();
    Open();
    EXPECT_EQ(Keys(Form().History()), expanded);
}

TEST_F(HistoryFileTest, SaveWritesTheListTopFirstAndALoadReadsItBack) {
    const fs::path d = m_dir.path();
    for (auto f : {"one.dll", "two.exe", "three.ocx", "notitle.dll"}) Touch(d / f);
    fs::create_directories(d / "folder.dll");
    WriteFile(Ini(), "[" + (d / "gone1.dll").string() + "]\r\nFileName=gone1.dll\r\n[" +
                         (d / "one.dll").string() + "]\r\nFileName=one.dll\r\n[" +
                         (d / "gone2.dll").string() + "]\r\nFileName=gone2.dll\r\n[" +
                         (d / "folder.dll").string() + "]\r\nFileName=folder.dll\r\n[" +
                         (d / "ONE.DLL").string() + "]\r\nFileName=duplicate\r\n[" +
                         (d / "notitle.dll").string() + "]\r\nOther=1\r\n[" +
                         (d / "two.exe").string() + "]\r\nFileName=two.exe\r\n");
    Open();
    // Missing files, the directory and the duplicate are gone; nothing after them is lost.
    EXPECT_EQ(Keys(Form().History()),
              (std::vector<std::wstring>{(d / "one.dll").wstring(), (d / "notitle.dll").wstring(),
                                         (d / "two.exe").wstring()}));
    EXPECT_EQ(Form().History().Item(2).Text, L"");
    EXPECT_TRUE(Form().History().Selected(1));
    Register((d / "three.ocx").wstring(), L"three.ocx");
    Close();
    EXPECT_EQ(Sections(Ini()), (std::vector<std::pair<std::string, std::string>>{
                                   {(d / "three.ocx").string(), "three.ocx"},
                                   {(d / "one.dll").string(), "one.dll"},
                                   {(d / "notitle.dll").string(), ""},
                                   {(d / "two.exe").string(), "two.exe"}}));
    // The other key went with its section.
    EXPECT_EQ(ReadFile(Ini()).find("Other="), std::string::npos);

    // A close that changes nothing leaves the file as it is.
    const std::string saved = ReadFile(Ini()) + "\r\n";
    WriteFile(Ini(), saved);
    Open();
    Close();
    EXPECT_EQ(ReadFile(Ini()), saved);

    // An empty list at close deletes every section.
    for (auto f : {"three.ocx", "one.dll", "notitle.dll", "two.exe"}) fs::remove(d / f);
    Open();
    EXPECT_EQ(Form().History().Count(), 0u);
    EXPECT_EQ(Form().Text(), L"");
    Close();
    EXPECT_TRUE(Sections(Ini()).empty());
}

TEST_F(HistoryFileTest, DeleteOnTheListRemovesTheSelectedEntryForGood) {
    const fs::path d = m_dir.path();
    Open();
    for (auto name : {"a.dll", "b.exe", "c.ocx"}) {
        Touch(d / name);
        Register((d / name).wstring(), FromAnsi(name));
    }
    const HWND list = Ctl(kHistoryList);
    ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(Form().Text(), (d / "b.exe").wstring());
    Type(L"C:\\typed.dll");
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 0);
    // The entry that took its place is selected; the box keeps what it holds.
    EXPECT_EQ(Keys(Form().History()),
              (std::vector<std::wstring>{(d / "c.ocx").wstring(), (d / "a.dll").wstring()}));
    EXPECT_TRUE(Form().History().Selected(2));
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1);
    EXPECT_EQ(Form().Text(), L"C:\\typed.dll");
    Close();
    EXPECT_EQ(Sections(Ini()),
              (std::vector<std::pair<std::string, std::string>>{
                  {(d / "c.ocx").string(), "c.ocx"}, {(d / "a.dll").string(), "a.dll"}}));
}

TEST_F(HistoryFileTest, SectionNamesBeyondTheReadBufferAreNeitherCutNorKept) {
    // 1000 names of about 240 characters overflow the 200000-character section-name buffer.
    const fs::path d = m_dir.path() / "long";
    fs::create_directories(d);
    std::string text;
    std::vector<std::string> paths;
    for (int i = 0; i < 1000; ++i) {
        std::string name =
            std::to_string(1000 + i) + std::string(200 - d.string().size() % 50, 'n');
        paths.push_back((d / (name + ".dll")).string());
        Touch(paths.back());
        text += "[" + paths.back() + "]\r\nFileName=" + name + ".dll\r\n";
    }
    WriteFile(Ini(), text);
    // The name the system cuts short names an existing file too, so only the load can drop it.
    std::string buffer(200000, '\0');
    const DWORD n = GetPrivateProfileStringA(nullptr, nullptr, nullptr, buffer.data(), 199999,
                                             Ini().string().c_str());
    const std::string listed = buffer.substr(0, n);
    const std::string cut = listed.substr(listed.rfind('\0') + 1);
    ASSERT_EQ(cut.find(".dll"), std::string::npos) << cut;
    Touch(cut);
    Open();
    const std::size_t loaded = Form().History().Count();
    ASSERT_GT(loaded, 100u);
    ASSERT_LT(loaded, 1000u);
    for (std::size_t i = 1; i <= loaded; ++i) {
        ASSERT_EQ(ToAnsi(Form().History().Item(i).Key), paths[i - 1]) << "never a cut name";
    }
    Close();
    const auto sections = Sections(Ini());
    ASSERT_EQ(sections.size(), loaded) << "the file holds exactly the list";
    EXPECT_EQ(sections.front().first, paths.front());
}

TEST_F(HistoryFileTest, ASaveThatCannotBeWrittenIsLostQuietly) {
    frmTolvar::Options options;
    options.historyFile = (m_dir.path() / "no such folder" / "Tolvar.ini").wstring();
    options.sdkRoot = m_sdk.Source();
    options.quitOnDestroy = false;
    options.startProcess = [](const auto&, const auto&, int) { return StillRunning(); };
    m_hwnd = frmTolvar::Create(GetModuleHandleA(nullptr), std::move(options));
    ASSERT_NE(m_hwnd, nullptr);
    Touch(m_dir.path() / "a.dll");
    Register((m_dir.path() / "a.dll").wstring(), L"a.dll");
    Close();
    EXPECT_FALSE(fs::exists(m_dir.path() / "no such folder"));
}

// No SDK root: the key is never made.
SdkRootSource NoSdkRoot() {
    return ScratchSdkKey().Source();
}

// A list of (path, title) pairs, top first.
HistoryList ListOf(const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
    HistoryList list;
    for (const auto& [path, title] : entries) {
        if (const auto added = list.Add(std::nullopt, path, title)) list.SetSubItem1(*added, path);
    }
    return list;
}

std::vector<std::pair<std::wstring, std::wstring>> Loaded(const fs::path& ini) {
    HistoryList list;
    LoadHistory(ini.wstring(), NoSdkRoot(), list);
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    for (std::size_t i = 1; i <= list.Count(); ++i) {
        entries.emplace_back(list.Item(i).Key, list.Item(i).Text);
    }
    return entries;
}

// The same list written section by section through the profile functions, as the reference.
void WriteWithTheProfileFunctions(const std::vector<std::pair<std::wstring, std::wstring>>& entries,
                                  const fs::path& ini) {
    for (const auto& [path, title] : entries) {
        WritePrivateProfileStringA(ToAnsi(path).c_str(), "FileName", ToAnsi(title).c_str(),
                                   ini.string().c_str());
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.string().c_str());
}

TEST(HistoryStore, SavesTheBytesTheProfileFunctionsWriteAndLoadsThemBack) {
    TempDir dir;
    const std::vector<std::pair<std::wstring, std::wstring>> awkward{
        {L"C:\\dir with blanks\\a b.dll", L"a b.dll"},
        {L"C:\\x=y\\k=v.dll", L"k=v.dll"},
        {L"C:\\semi;colon\\;lead.dll", L";lead.dll"},
        {L"C:\\[br]\\x].dll", L"x].dll"},
        {L"C:\\y\\[z.dll", L"[z.dll"},
        {L"C:\\empty title.exe", L""},
    };
    const fs::path ours = dir.path() / "ours.ini", theirs = dir.path() / "theirs.ini";
    ASSERT_TRUE(SaveHistory(ours.wstring(), NoSdkRoot(), ListOf(awkward)));
    WriteWithTheProfileFunctions(awkward, theirs);
    EXPECT_EQ(ReadFile(ours), ReadFile(theirs));
    EXPECT_EQ(Loaded(ours), awkward);

    // Blanks at a name's ends and before a title are not kept by the profile functions, and a
    // name that differs from another only by them is the same section.
    WriteFile(theirs, "");
    const std::vector<std::pair<std::wstring, std::wstring>> blanks{
        {L" C:\\lead.dll\t", L"  lead.dll"}, {L"C:\\LEAD.dll ", L" second"}, {L"  ", L"none"}};
    ASSERT_TRUE(SaveHistory(ours.wstring(), NoSdkRoot(), ListOf(blanks)));
    WriteWithTheProfileFunctions(blanks, theirs);
    EXPECT_EQ(Loaded(ours), Loaded(theirs));
    EXPECT_EQ(Loaded(ours),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"C:\\lead.dll", L"second"}}));

    // The profile functions take a pair of quotation marks off a value they read: titles that
    // have them come back exactly all the same, and with them their kind.
    const std::vector<std::pair<std::wstring, std::wstring>> quoted{
        {L"C:\\q\\'x'", L"'x'"}, {L"C:\\q\\'x.dll'", L"'x.dll'"}, {L"C:\\q\\''", L"''"},
        {L"C:\\q\\'", L"'"},     {L"C:\\q\\q", L"\"q\""},         {L"C:\\q\\m", L"'m\""},
        {L"C:\\q\\in", L"a'b'"}};
    ASSERT_TRUE(SaveHistory(ours.wstring(), NoSdkRoot(), ListOf(quoted)));
    EXPECT_EQ(Loaded(ours), quoted);
}

TEST(HistoryStore, AnEndedSaveLeavesTheOldListOrTheNewOneWhole) {
    TempDir dir;
    const fs::path ini = dir.path() / "Tolvar.ini";
    const std::vector<std::pair<std::wstring, std::wstring>> before{{L"C:\\old.dll", L"old.dll"}},
        after{{L"C:\\new.exe", L"new.exe"}, {L"C:\\old.dll", L"old.dll"}};
    for (const SaveStep step : {SaveStep::PartWritten, SaveStep::Written, SaveStep::Replaced}) {
        ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), ListOf(before)));
        SaveHistory(ini.wstring(), NoSdkRoot(), ListOf(after),
                    [step](SaveStep at) { return at != step; });
        EXPECT_EQ(Loaded(ini), step == SaveStep::Replaced ? after : before);
    }
    // A later save takes the place of whatever the ended one left beside the file.
    ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), ListOf(before)));
    ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), ListOf(after)));
    EXPECT_EQ(Loaded(ini), after);
    const auto files = [&dir] {
        return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    };
    EXPECT_EQ(files(), 1);

    // Ended between the replacement's two renames: only the backup holds a whole list. It is
    // loaded, and the next save puts a whole file back in its place and nothing beside it.
    fs::rename(ini, ini.string() + ".old");
    WriteFile(ini.string() + ".new", "[C:\\half");
    EXPECT_EQ(Loaded(ini), after);
    ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), ListOf(before)));
    EXPECT_EQ(Loaded(ini), before);
    EXPECT_EQ(files(), 1);

    // A folder that takes no new file: the list is written over the file itself.
    fs::create_directory(ini.string() + ".new");
    ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), ListOf(after)));
    EXPECT_EQ(Loaded(ini), after);
    fs::remove(ini.string() + ".new");

    // A file whose name just fits the file functions, while its suffixed names do not.
    constexpr std::size_t kDeepFolderChars = MAX_PATH - 14;  // a folder may take MAX_PATH - 12
    const fs::path deep =
        dir.path() / std::string(kDeepFolderChars - 1 - dir.path().string().size(), 'd');
    const fs::path longIni = deep / "Tolvar.ini";
    ASSERT_TRUE(fs::create_directory(deep));
    ASSERT_LT(longIni.string().size(), std::size_t(MAX_PATH));
    ASSERT_TRUE(SaveHistory(longIni.wstring(), NoSdkRoot(), ListOf(before)));
    ASSERT_TRUE(SaveHistory(longIni.wstring(), NoSdkRoot(), ListOf(after)));
    EXPECT_EQ(Loaded(longIni), after);
}

// Tolvars that loaded the same file and close one after the other: each save keeps what the
// others saved and makes only its own session's changes to it.
TEST(HistoryStore, SessionsClosedOneAfterTheOtherKeepEachOthersChanges) {
    TempDir dir;
    const fs::path ini = dir.path() / "Tolvar.ini";
    using Entries = std::vector<std::pair<std::wstring, std::wstring>>;
    const std::pair<std::wstring, std::wstring> a{L"C:\\a.dll", L"a.dll"},
        b{L"C:\\b.dll", L"b.dll"}, x{L"C:\\x.dll", L"x.dll"};
    for (const bool aFirst : {true, false}) {
        WriteFile(ini, "[C:\\x.dll]\r\nFileName=x.dll\r\n[C:\\y.dll]\r\nFileName=y.dll\r\n");
        HistoryList sessionA, sessionB, idle;
        for (HistoryList* list : {&sessionA, &sessionB, &idle}) {
            LoadHistory(ini.wstring(), NoSdkRoot(), *list);
        }
        sessionA.PutOnTop(a.first, a.second);
        sessionA.Forget(L"C:\\y.dll");
        sessionB.PutOnTop(b.first, b.second);
        ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), aFirst ? sessionA : sessionB));
        ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), aFirst ? sessionB : sessionA));
        // The last one's entries on top; the deleted one stays deleted.
        EXPECT_EQ(Loaded(ini), (aFirst ? Entries{b, a, x} : Entries{a, b, x})) << aFirst;
        // A session that changed nothing leaves the file as the others left it.
        const std::string both = ReadFile(ini);
        ASSERT_TRUE(SaveHistory(ini.wstring(), NoSdkRoot(), idle));
        EXPECT_EQ(ReadFile(ini), both);
    }
}

// Tolvars closing at the same moment save in turn, each reading what the one before left.
TEST(HistoryStore, SavesAtTheSameMomentLoseNothing) {
    TempDir dir;
    const fs::path ini = dir.path() / "Tolvar.ini";
    constexpr int kSessions = 8;
    std::vector<HistoryList> sessions(kSessions);
    std::vector<SdkRootSource> roots;
    for (int i = 0; i < kSessions; ++i) {
        roots.push_back(NoSdkRoot());
        LoadHistory(ini.wstring(), roots.back(), sessions[i]);
        const std::wstring title = std::to_wstring(i) + L".dll";
        sessions[i].PutOnTop(L"C:\\" + title, title);
    }
    std::atomic<int> ready = 0;
    std::vector<std::thread> savers;
    for (int i = 0; i < kSessions; ++i) {
        savers.emplace_back([&, i] {
            for (++ready; ready < kSessions;) std::this_thread::yield();
            SaveHistory(ini.wstring(), roots[i], sessions[i]);
        });
    }
    for (std::thread& saver : savers) saver.join();
    EXPECT_EQ(Loaded(ini).size(), std::size_t{kSessions});
}

TEST(HistoryStore, AFileThatCannotBeReplacedIsLeftAsItWas) {
    TempDir dir;
    const fs::path ini = dir.path() / "Tolvar.ini";
    const std::string old = "[C:\\old.dll]\r\nFileName=old.dll\r\n";
    const HistoryList changed = ListOf({{L"C:\\new.dll", L"new.dll"}});
    WriteFile(ini, old);
    SetFileAttributesA(ini.string().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(SaveHistory(ini.wstring(), NoSdkRoot(), changed));
    SetFileAttributesA(ini.string().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFile(ini), old);
    {
        // Held open without sharing by another program.
        const UniqueFile held(CreateFileA(ini.string().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(SaveHistory(ini.wstring(), NoSdkRoot(), changed));
    }
    EXPECT_EQ(ReadFile(ini), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(FileExist, IsTrueExactlyForAnExistingFileThatIsNoDirectory) {
    TempDir dir;
    Touch(dir.path() / "plain.dll");
    Touch(dir.path() / "hidden.dll");
    SetFileAttributesA((dir.path() / "hidden.dll").string().c_str(),
                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(frmTolvar::FileExist(dir.file("plain.dll")));
    EXPECT_TRUE(frmTolvar::FileExist(dir.file("hidden.dll")));
    EXPECT_FALSE(frmTolvar::FileExist(dir.path().wstring()));
    EXPECT_FALSE(frmTolvar::FileExist(dir.file("missing.dll")));
    EXPECT_FALSE(frmTolvar::FileExist(L""));
    EXPECT_FALSE(frmTolvar::FileExist(L"C:\\bad<>|\"name?.dll"));
    EXPECT_FALSE(frmTolvar::FileExist(L"\\\\?\\"));
    SetFileAttributesA((dir.path() / "hidden.dll").string().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(HistoryText, AFileThatAlreadyHoldsTheListIsRecognised) {
    const std::vector<SavedSection> list{{L"C:\\a.dll", L"a.dll"}, {L"C:\\b.exe", L""}};
    EXPECT_TRUE(ProfileTextHolds(L"[C:\\a.dll]\r\nFileName=a.dll\r\n[C:\\b.exe]\r\nFileName=\r\n",
                                 list, L"FileName"));
    EXPECT_TRUE(ProfileTextHolds(L"\r\n[C:\\a.dll]\nFileName=a.dll\n\n[C:\\b.exe]\nFileName=", list,
                                 L"FileName"));
    EXPECT_FALSE(ProfileTextHolds(L"[C:\\b.exe]\r\nFileName=\r\n[C:\\a.dll]\r\nFileName=a.dll\r\n",
                                  list, L"FileName"));
    EXPECT_FALSE(ProfileTextHolds(
        L"[C:\\a.dll]\r\nFileName=a.dll\r\nOther=1\r\n[C:\\b.exe]\r\nFileName=\r\n", list,
        L"FileName"));
    EXPECT_FALSE(ProfileTextHolds(L"[C:\\a.dll]\r\nFileName=a.dll\r\n", list, L"FileName"));
    EXPECT_FALSE(ProfileTextHolds(L"[<Zelvo_ROOT>\\a.dll]\r\nFileName=a.dll\r\n",
                                  {{L"C:\\a.dll", L"a.dll"}}, L"FileName"));
    EXPECT_TRUE(ProfileTextHolds(L"", {}, L"FileName"));
    EXPECT_FALSE(ProfileTextHolds(L"[x]\r\n", {}, L"FileName"));
}

}  // namespace
}  // namespace tolvar::testing
