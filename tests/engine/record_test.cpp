// The text of install records and plans: what is written reads back byte
// for byte, and anything else is not read at all.
#include <gtest/gtest.h>

#include <random>

#include "engine/record.h"
#include "support/sandbox.h"

namespace {

#ifdef _WIN32
const std::string kRoot = "C:\\";
#else
const std::string kRoot = "/";
#endif

// A name of random bytes the program could create: blanks (leading ones
// too), percent signs, dots inside, and bytes above 0x7F.
std::string RandomComponent(std::mt19937& random) {
  static const std::string kBytes = "aZ09 %.-()#!~_\xC3\xA9";
  std::string name;
  const int length = 1 + static_cast<int>(random() % 12);
  for (int i = 0; i < length; ++i) name += kBytes[random() % kBytes.size()];
  return name + "x";  // never a trailing dot or blank
}

std::string RandomPath(std::mt19937& random) {
  std::string path = RandomComponent(random);
  for (int k = random() % 3; k > 0; --k) path += kSep + RandomComponent(random);
  return path;
}

Plan RandomPlan(std::mt19937& random) {
  Plan plan;
  plan.kind = random() % 2 ? PlanKind::Install : PlanKind::Uninstall;
  plan.mod = static_cast<int>(random() % 100);
  InstallRecord& record = plan.record;
  // Absolute paths may hold a tab: the settings file can.
  record.archive = kRoot + RandomComponent(random) + "\t " + RandomComponent(random) + ".zip";
  record.folder = kRoot + RandomComponent(random);
  record.folders.push_back(RandomPath(random));
  for (int i = 0; i < 3; ++i) {
    record.files.push_back({RandomPath(random), random() % 100000,
                            static_cast<std::uint32_t>(random()), random() % 2 == 0});
    record.originals.push_back({RandomPath(random), RandomPath(random)});
  }
  if (plan.kind == PlanKind::Uninstall) {
    plan.kept.push_back({RandomPath(random), RandomPath(random)});
    plan.to_delete.push_back(record.files[0].path);
  }
  return plan;
}

TEST(RecordText, WhatIsWrittenReadsBackByteForByte) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const Plan plan = RandomPlan(random);
    Plan read;
    ASSERT_TRUE(ParsePlan(PlanText(plan), read)) << PlanText(plan);
    EXPECT_EQ(PlanText(read), PlanText(plan));
    EXPECT_EQ(read.record.archive, plan.record.archive);
    EXPECT_EQ(read.record.files[1].path, plan.record.files[1].path);
    InstallRecord record;
    bool sealed = false;
    ASSERT_TRUE(ParseRecord(RecordText(plan.record), record, &sealed));
    EXPECT_TRUE(sealed);
    EXPECT_EQ(RecordText(record), RecordText(plan.record));
  }
}

// As the first version wrote them: no check line, so that each rule below
// is what refuses the text, not the checksum.
std::string Unsealed(std::string text) {
  const std::size_t check = text.find("\ncheck ");
  text.erase(check + 1, text.find('\n', check + 1) - check);
  return text.replace(0, text.find('\n'), "Quorvantel record 1");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  return at == std::string::npos ? text + "<not found: " + from + ">" : text.replace(at, from.size(), to);
}

TEST(RecordText, AnythingButWhatIsWrittenIsUnreadable) {
  Plan plan;
  plan.kind = PlanKind::Uninstall;
  plan.mod = 1;
  plan.record.archive = kRoot + "mods" + kSep + "m.zip";
  plan.record.folder = kRoot + "game";
  plan.record.files.push_back({"a.txt", 5, 0x1234abcd, true});
  plan.record.originals.push_back({"a.txt", "a.qvs"});
  plan.kept.push_back({"a.txt", "a (kept).txt"});
  plan.to_delete.push_back("a.txt");
  const std::string good = Unsealed(PlanText(plan));
  Plan read;
  ASSERT_TRUE(ParsePlan(good, read));
  const std::string up = std::string("..") + kSep + "..";
  // An uninstall plan of the earlier kind, which moved files aside.
  const std::string aside =
      Replace(Replace(Replace(good, "kind uninstall-in-place", "kind uninstall"), "delete a.txt\n",
                      ""),
              "kept", "aside x\tx.trash\nkept");
  ASSERT_TRUE(ParsePlan(aside, read)) << aside;
  const std::string rows[] = {
      good + "delete b.txt\n",  // after the end
      Replace(aside, "aside x\tx.trash", "aside x\t" + up + kSep + "f"),
      Replace(good, "1 a.txt\n", "1 .." + std::string(1, kSep) + "other" + kSep + "f\n"),
      Replace(good, "folder " + plan.record.folder + "\n", ""),
      Replace(good, "folder " + plan.record.folder, "folder game"),
      Replace(good, "original a.txt", "original " + up + kSep + "a.txt"),
      Replace(good, "kept a.txt\ta (kept).txt", "kept a.txt\t" + up + kSep + "k"),
      Replace(good, "original", "dir " + up + kSep + "x\noriginal"),
      Replace(good, "delete a.txt", "delete " + up + kSep + "f"),
      Replace(good, "delete a.txt", "delete " + std::string(1, kSep) + "f"),
      Replace(good, "delete a.txt", "delete a" + std::string(2, kSep) + "b"),
      Replace(good, "delete a.txt", "delete ."),
      Replace(good, "folder " + plan.record.folder, "folder " + kRoot + "%00x"),
      Replace(good, "mod 1", "mod 4294967297"),
      Replace(good, "mod 1", "mod x"),
      Replace(good, "mod 1", "mod -1"),
      Replace(good, "mod 1", "mod 01"),
      Replace(good, "mod 1\n", ""),
      Replace(good, "a.qvs", "a% 1"),
      Replace(good, "a.qvs", "a%-1"),
      Replace(good, "a.qvs", "a%0a"),
      Replace(good, "a.qvs", "%41.qvs"),
      Replace(good, "a.qvs", "a\x01.qvs"),
      Replace(good, "a.qvs", "a:b"),
      Replace(good, "a.qvs", "CON.txt"),
      Replace(good, "file 5 ", "file +5 "),
      Replace(good, "file 5 ", "file 18446744073709551616 "),
      Replace(good, "file 5 ", "file  5 "),
      Replace(good, "1234abcd", "1234ABCD"),
      Replace(good, "1234abcd 1", "1234abcd 2"),
      Replace(good, "folder", "folder " + plan.record.folder + "\nfolder"),
      Replace(good, "mod 1", "count 0\nmod 1"),
      Replace(good, "mod 1", "colour 1"),
      good.substr(0, good.size() - 1),  // the last newline lost
      good + "end\n",
      Replace(PlanText(plan), "a.qvs", "b.qvs"),  // damaged under its check
      Replace(good, "kind", "check 00000000\nkind"),   // a check in the first version
      Replace(PlanText(plan), "plan 2", "record 2"),  // a plan under a record's header
  };
  for (const std::string& row : rows) {
    EXPECT_FALSE(ParsePlan(row, read)) << row;
  }

  Plan removal;
  removal.kind = PlanKind::Remove;
  removal.mod = 1;
  removal.count = 4;
  removal.renumbered = {2, 3};
  const std::string remove = Unsealed(PlanText(removal));
  ASSERT_TRUE(ParsePlan(remove, read));
  for (const std::string& row : {Replace(remove, "count 4", "count -2147483648"),
                                 Replace(remove, "count 4", "count 1"),
                                 Replace(remove, "aside 3\t2", "aside 3\t1"),
                                 Replace(remove, "aside 2\t1\naside 3\t2", "aside 3\t2\naside 2\t1"),
                                 Replace(remove, "aside 3\t2", "aside 4\t3"),
                                 Replace(remove, "folder ", "folder " + kRoot + "game"),
                                 Replace(remove, "archive \nfolder \n", "")}) {
    EXPECT_FALSE(ParsePlan(row, read)) << row;
  }
  // A record holds no plan's lines.
  InstallRecord record;
  const std::string sealed = RecordText(plan.record);
  ASSERT_TRUE(ParseRecord(sealed, record));
  EXPECT_FALSE(ParseRecord(Replace(Unsealed(sealed), "archive", "mod 1\narchive"), record));
  EXPECT_FALSE(ParsePlan(sealed, read));
}

}  // namespace
