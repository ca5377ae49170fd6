// The walk of a folder given to fennick-verify: its order, the files it
// takes, the links it follows and those it does not, special files, folders
// it cannot read, and the arguments that become its inputs.
#include "cli/CheckInputs.h"
#include "cli/FolderWalk.h"
#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

bool endsInExeOrDll(const std::u16string& path) {
  return endsWithNoCase(path, u".exe") || endsWithNoCase(path, u".dll");
}

// Every step of a walk, as "F host path" for files and "U host path" for
// unreadable folders; the host paths relative to base.
std::vector<std::string> stepsOf(FolderWalk& walk, const std::string& base) {
  std::vector<std::string> steps;
  FolderWalk::Step step;
  while (walk.next(step)) {
    std::string path = step.hostPath;
    if (path.rfind(base, 0) == 0)
      path = "~" + path.substr(base.size());
    steps.push_back((step.kind == FolderWalk::Step::Kind::File ? "F " : "U ") + path);
  }
  return steps;
}

std::vector<std::string> walkSteps(const TestPrefix& prefix, const std::u16string& root,
                                   FolderWalk::Options options) {
  FolderWalk walk(root, prefix.driveC("tree").string(), options, endsInExeOrDll);
  return stepsOf(walk, prefix.driveC("tree").string());
}

} // namespace

TEST(FolderWalk, EachFolderListsItsFilesThenItsSubfoldersInListingOrder) {
  TestPrefix prefix;
  prefix.writeFile("tree/b.exe");
  prefix.writeFile("tree/A.dll");
  prefix.writeFile("tree/readme.txt");
  prefix.writeFile("tree/sub/inner.exe");
  prefix.writeFile("tree/sub/deeper/deep.dll");
  prefix.writeFile("tree/Other/o.exe");
  prefix.writeFile("tree/z.exe");
  fs::create_directories(prefix.driveC("tree/plugins.dll"));
  EXPECT_EQ(walkSteps(prefix, u"C:\\tree", {.recurse = true}),
            (std::vector<std::string>{"F ~/A.dll", "F ~/b.exe", "F ~/z.exe", "F ~/Other/o.exe",
                                      "F ~/sub/inner.exe", "F ~/sub/deeper/deep.dll"}));
  EXPECT_EQ(walkSteps(prefix, u"C:\\tree", {}),
            (std::vector<std::string>{"F ~/A.dll", "F ~/b.exe", "F ~/z.exe"}));
  // The Windows paths name the same files.
  FolderWalk walk(u"C:\\tree\\", "tree/", {}, endsInExeOrDll);
  FolderWalk::Step step;
  ASSERT_TRUE(walk.next(step));
  EXPECT_EQ(step.windowsPath, u"C:\\tree\\A.dll");
  EXPECT_EQ(step.hostPath, "tree/A.dll");
}

TEST(FolderWalk, LinksInsideAreFollowedOnceLinksOutsideOnlyWhenAsked) {
  TestPrefix prefix;
  prefix.writeFile("tree/a/x.exe");
  prefix.writeFile("tree/b/y.exe");
  prefix.writeFile("outside/o.exe");
  fs::create_directory_symlink(prefix.driveC("tree"), prefix.driveC("tree/a/up"));
  fs::create_directory_symlink(prefix.driveC("tree/b"), prefix.driveC("tree/a/tob"));
  fs::create_directory_symlink(prefix.driveC("outside"), prefix.driveC("tree/a/out"));
  fs::create_symlink(prefix.driveC("outside/o.exe"), prefix.driveC("tree/b/outfile.exe"));
  fs::create_symlink(prefix.driveC("tree/a/x.exe"), prefix.driveC("tree/b/infile.exe"));
  fs::create_symlink(prefix.driveC("nothing.exe"), prefix.driveC("tree/b/dangling.exe"));
  // A folder whose name merely begins with the tree's is outside it.
  prefix.writeFile("tree2/sibling.exe");
  fs::create_symlink(prefix.driveC("tree2/sibling.exe"), prefix.driveC("tree/b/sibling.exe"));
  EXPECT_EQ(walkSteps(prefix, u"C:\\tree", {.recurse = true}),
            (std::vector<std::string>{"F ~/a/x.exe", "F ~/a/tob/infile.exe", "F ~/a/tob/y.exe",
                                      "F ~/b/infile.exe", "F ~/b/y.exe"}));
  EXPECT_EQ(walkSteps(prefix, u"C:\\tree", {.recurse = true, .followLinks = true}),
            (std::vector<std::string>{
                "F ~/a/x.exe", "F ~/a/out/o.exe", "F ~/a/tob/dangling.exe",
                "F ~/a/tob/infile.exe", "F ~/a/tob/outfile.exe", "F ~/a/tob/sibling.exe",
                "F ~/a/tob/y.exe", "F ~/b/dangling.exe", "F ~/b/infile.exe", "F ~/b/outfile.exe",
                "F ~/b/sibling.exe", "F ~/b/y.exe"}));
}

TEST(FolderWalk, ARootReachedThroughALinkIsTheTree) {
  TestPrefix prefix;
  prefix.writeFile("real/r.exe");
  prefix.writeFile("real/sub/s.exe");
  fs::create_directory_symlink(prefix.driveC("real"), prefix.driveC("tree"));
  fs::create_directory_symlink(prefix.driveC("real/sub"), prefix.driveC("real/again"));
  EXPECT_EQ(walkSteps(prefix, u"C:\\tree", {.recurse = true}),
            (std::vector<std::string>{"F ~/r.exe", "F ~/again/s.exe", "F ~/sub/s.exe"}));
}

TEST(FolderWalk, SpecialFilesAreNeverTaken) {
  TestPrefix prefix;
  prefix.writeFile("tree/plain.exe");
  ASSERT_EQ(mkfifo(prefix.driveC("tree/pipe.exe").c_str(), 0600), 0);
  FolderWalk walk(u"C:\\tree", prefix.driveC("tree").string(), {},
                  [](const std::u16string&) { return true; });
  EXPECT_EQ(stepsOf(walk, prefix.driveC("tree").string()),
            (std::vector<std::string>{"F ~/plain.exe"}));
}

TEST(FolderWalk, AFolderThatCannotBeListedIsAStepOfItsOwn) {
  TestPrefix prefix;
  prefix.writeFile("tree/first.exe");
  prefix.writeFile("tree/gone/lost.exe");
  prefix.writeFile("tree/kept/found.exe");
  FolderWalk walk(u"C:\\tree", "tree", {.recurse = true}, endsInExeOrDll);
  FolderWalk::Step step;
  ASSERT_TRUE(walk.next(step));
  EXPECT_EQ(step.hostPath, "tree/first.exe");
  // The folder goes after the walk has seen it and before it is entered.
  fs::remove_all(prefix.driveC("tree/gone"));
  ASSERT_TRUE(walk.next(step));
  EXPECT_EQ(step.kind, FolderWalk::Step::Kind::UnreadableFolder);
  EXPECT_EQ(step.hostPath, "tree/gone");
  EXPECT_EQ(step.windowsPath, u"C:\\tree\\gone");
  ASSERT_TRUE(walk.next(step));
  EXPECT_EQ(step.hostPath, "tree/kept/found.exe");
  EXPECT_FALSE(walk.next(step));
}

TEST(FolderWalk, DepthIsBoundedAsInTheScan) {
  TestPrefix prefix;
  std::string deep = "tree";
  for (int i = 0; i < WalkCycleGuard::kMaxDepth + 3; ++i)
    deep += "/d";
  prefix.writeFile(deep + "/far.exe");
  prefix.writeFile("tree/d/near.exe");
  std::vector<std::string> steps = walkSteps(prefix, u"C:\\tree", {.recurse = true});
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0], "F ~/d/near.exe");
}

TEST(CheckInputs, FilesStandForThemselvesAndFoldersForTheirWalks) {
  TestPrefix prefix;
  prefix.writeFile("tree/a.exe");
  prefix.writeFile("tree/sub/b.exe");
  prefix.writeFile("single.txt");
  const std::string tree = prefix.driveC("tree").string();
  const std::string single = prefix.driveC("single.txt").string();
  const std::string missing = prefix.driveC("missing.exe").string();
  CheckInputs inputs({single, tree, missing}, {}, endsInExeOrDll);
  CheckInputs::Input input;
  std::vector<std::string> hostPaths;
  std::vector<std::u16string> windowsPaths;
  while (inputs.next(input)) {
    EXPECT_EQ(input.kind, CheckInputs::Input::Kind::File);
    hostPaths.push_back(input.hostPath);
    windowsPaths.push_back(input.windowsPath);
  }
  EXPECT_EQ(hostPaths, (std::vector<std::string>{single, tree + "/a.exe", missing}));
  EXPECT_EQ(windowsPaths, (std::vector<std::u16string>{u"C:\\single.txt", u"C:\\tree\\a.exe",
                                                       u"C:\\missing.exe"}));
}
