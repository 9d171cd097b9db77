// The conversion driver: source and database folder, the Config and office
// configuration records, the per-run files, progress, and the console program.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tqload/tests/conversion_fixture.h"

namespace trk::tqload::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

class DriverTest : public ConversionTest {};

TEST_F(DriverTest, WithoutSourceReportsTheExpectedPathAndFails) {
  TQLoadOptions options{};
  options.databaseFolder = folder.c_str();
  for (const auto variant : {TQLOAD_VARIANT_CONSOLE, TQLOAD_VARIANT_OFFICE}) {
    options.variant = variant;
    messages.clear();
    EXPECT_EQ(TQLoadRun(&options, [](void* c, const char* m) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
                        nullptr, &messages),
              TQLOAD_FAILED);
    EXPECT_TRUE(Logged("Source file: " + folder + "DELLOAD.DAT")) << AllMessages();
  }
  EXPECT_TRUE(Logged("The source file could not be opened. TQLoad file conversion has been aborted."));
  options.variant = TQLOAD_VARIANT_CONSOLE;
  messages.clear();
  TQLoadRun(&options, [](void* c, const char* m) { static_cast<std::vector<std::string>*>(c)->push_back(m); }, nullptr,
            &messages);
  EXPECT_TRUE(Logged("Could not open source file. File conversion aborted."));
  EXPECT_FALSE(fs::exists(folder + "Config.zdb"));
}

TEST_F(DriverTest, OfficeConfigurationNamesTheSourceUnlessUnreadable) {
  std::ofstream(temp.PathOf("elsewhere.txt")) << Line(StandardFields());
  schema::OfficeConfigRecord office = schema::DefaultOfficeConfigRecord();
  schema::SetText(office.dispatchSource, temp.PathOf("elsewhere.txt"));
  SetOfficeConfig(office);
  TQLoadOptions options{};
  options.databaseFolder = folder.c_str();
  EXPECT_EQ(TQLoadRun(&options, [](void* c, const char* m) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
                      nullptr, &messages),
            TQLOAD_OK)
      << AllMessages();
  EXPECT_TRUE(Logged("Source file: " + temp.PathOf("elsewhere.txt")));
  EXPECT_EQ(ReadAll<schema::DispatchRecord>(FileIndex::Dispatch).size(), 1u);
}

TEST_F(DriverTest, MissingConfigIsCreatedWithTheDefaultRecord) {
  EXPECT_EQ(Run(Line(StandardFields())), TQLOAD_OK) << AllMessages();
  EXPECT_TRUE(Logged("Config.zdb file was not found, so a file with a default record in it was created."));
  const auto config = ReadSingle<schema::ConfigRecord>(FileIndex::Config);
  ASSERT_TRUE(config);
  schema::ConfigRecord expected = schema::DefaultConfigRecord();
  expected.dispatchRecordFormat = 2;  // followed the record type 2 line
  EXPECT_EQ(std::memcmp(&*config, &expected, sizeof expected), 0);
  EXPECT_EQ(ReadAll<schema::DispatchRecord>(FileIndex::Dispatch).size(), 1u);
}

TEST_F(DriverTest, ConfigThatCannotBeOpenedSkipsTheConversion) {
  // A file under the Config name with another record size does not match the catalogue.
  const std::string path = folder + "Config.zdb";
  ASSERT_EQ(OKVCreateFile(path.c_str(), 0x8002, 33, 0, nullptr, nullptr, 0x0100), OKV_SUCCESS);
  ASSERT_EQ(OKVFinalizeCreate(path.c_str()), OKV_SUCCESS);
  EXPECT_EQ(Run(Line(StandardFields())), TQLOAD_FAILED);
  EXPECT_TRUE(Logged("Could not open Config.zdb file. rc = 2")) << AllMessages();
  EXPECT_TRUE(Logged("File conversion aborted."));
  EXPECT_FALSE(fs::exists(folder + "Dispatch.zdb"));
}

TEST_F(DriverTest, RunsAreRepeatableBecauseThePerRunFilesAreRebuilt) {
  const std::string text = Line(StandardFields("A1")) + Line(StandardFields("A2")) + Line(StandardFields("A1"));
  ASSERT_EQ(Run(text), TQLOAD_OK);
  const auto tanks = ReadAll<schema::TankRecord>(FileIndex::Tank);
  const auto customers = ReadAll<schema::CustomerRecord>(FileIndex::Customer);
  ASSERT_EQ(Run(text), TQLOAD_OK);
  const auto tanksAgain = ReadAll<schema::TankRecord>(FileIndex::Tank);
  ASSERT_EQ(tanksAgain.size(), 3u);
  ASSERT_EQ(tanks.size(), tanksAgain.size());
  for (size_t i = 0; i < tanks.size(); ++i) EXPECT_EQ(std::memcmp(&tanks[i], &tanksAgain[i], sizeof tanks[i]), 0);
  EXPECT_EQ(ReadAll<schema::CustomerRecord>(FileIndex::Customer).size(), customers.size());
  EXPECT_EQ(ReadAll<schema::DispatchRecord>(FileIndex::Dispatch).size(), 3u);
}

TEST_F(DriverTest, FolderWithoutSeparatorIsUsedAsGiven) {
  std::ofstream(SourcePath()) << Line(StandardFields());
  const std::string prefix = folder + "day1-";
  TQLoadOptions options{};
  const std::string source = SourcePath();
  options.sourceFile = source.c_str();
  options.databaseFolder = prefix.c_str();
  EXPECT_EQ(TQLoadRun(&options, nullptr, nullptr, nullptr), TQLOAD_OK);
  EXPECT_TRUE(fs::exists(folder + "day1-Dispatch.zdb"));
  EXPECT_TRUE(fs::exists(folder + "day1-Config.zdb"));
}

// A Dispatch.zdb that cannot be replaced: the console stops before the lines,
// the office's copy goes on and reports each line's failure.
TEST_F(DriverTest, DispatchFileThatCannotBeOpenedStopsTheConsoleConversion) {
  fs::create_directory(folder + "Dispatch.zdb");
  EXPECT_EQ(Run(Line(StandardFields())), TQLOAD_FAILED);
  EXPECT_TRUE(Logged("Could not delete old Dispatch.zdb. rc=8")) << AllMessages();
  bool aborted = false;
  for (const std::string& m : messages) aborted |= m.rfind("Could not open Dispatch.zdb. File conversion aborted. rc = ", 0) == 0;
  EXPECT_TRUE(aborted) << AllMessages();
  EXPECT_TRUE(ReadAll<schema::CustomerRecord>(FileIndex::Customer).empty());

  EXPECT_EQ(Run(Line(StandardFields()), TQLOAD_VARIANT_OFFICE), TQLOAD_FAILED);
  EXPECT_TRUE(Logged("Could not open Dispatch.zdb. rc=20")) << AllMessages();
  EXPECT_TRUE(Logged("Field contents: 0.40, line 1, field 17, rc = 20.")) << AllMessages();
  EXPECT_EQ(ReadAll<schema::TankRecord>(FileIndex::Tank).size(), 1u);
}

TEST_F(DriverTest, GeneralLedgerModeInTheOfficeStopsWithoutTaxCodeFile) {
  schema::OfficeConfigRecord office = schema::DefaultOfficeConfigRecord();
  office.taxFields = schema::kGeneralLedger;
  SetOfficeConfig(office);
  fs::create_directory(folder + "TaxCode.zdb");
  EXPECT_EQ(Run(Line(StandardFields()), TQLOAD_VARIANT_OFFICE), TQLOAD_FAILED);
  EXPECT_TRUE(Logged("File conversion was aborted.")) << AllMessages();
  EXPECT_TRUE(ReadAll<schema::DispatchRecord>(FileIndex::Dispatch).empty());
}

TEST_F(DriverTest, ProgressStepsByTenCharactersOrToAtMost32767) {
  struct Case {
    size_t length;
    uint32_t range;
    uint32_t last;
  } cases[] = {{1000, 100, 100}, {1000000, 32767, 32767}, {5, 0, 0}};
  for (const Case& c : cases) {
    std::ofstream(SourcePath(), std::ios::binary) << std::string(c.length, 'x');
    const std::string source = SourcePath();
    TQLoadOptions options{};
    options.sourceFile = source.c_str();
    options.databaseFolder = folder.c_str();
    options.variant = TQLOAD_VARIANT_OFFICE;
    std::vector<std::pair<uint32_t, uint32_t>> reports;
    TQLoadRun(&options, nullptr,
              [](void* context, uint32_t position, uint32_t range) {
                static_cast<std::vector<std::pair<uint32_t, uint32_t>>*>(context)->emplace_back(position, range);
              },
              &reports);
    ASSERT_FALSE(reports.empty());
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_EQ(reports[i].first, reports[i - 1].first + 1);
    EXPECT_EQ(reports.front(), std::make_pair(0u, c.range)) << c.length;
    EXPECT_EQ(reports.back().first, c.last) << c.length;
  }
}

TEST_F(DriverTest, ConsoleProgramLogsAndExitsWithTheErrorFlag) {
  const fs::path work = temp.PathOf("work");
  fs::create_directory(work);
  std::ofstream(SourcePath()) << Line(StandardFields());
  auto run = [&](const std::string& arguments) {
    const std::string command = "cd '" + work.string() + "' && '" TRKTQLOAD_PROGRAM "' " + arguments + " > console.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run("'" + SourcePath() + "' '" + folder + "'"), 0);
  const std::string console = ReadFile((work / "console.txt").string());
  EXPECT_EQ(console.rfind("TRK TQLoad v1.24\tOKV Library v1.10\n", 0), 0u) << console;
  EXPECT_NE(console.find("TRK database file generation complete.\n"), std::string::npos);
  EXPECT_EQ(console.find("An error occurred"), std::string::npos);
  const std::string log = ReadFile((work / "TRKTQLoad.txt").string());
  EXPECT_NE(log.find("Source file was passed via the command line.\n"), std::string::npos) << log;

  // Without arguments the database folder is the program's own (TRK_FOLDER).
  fs::remove(SourcePath());
  EXPECT_EQ(run(""), 1);
  const std::string failed = ReadFile((work / "console.txt").string());
  EXPECT_NE(failed.find("An error occurred during OKV file generation. Please check TRKTQLoad.txt.\n"), std::string::npos);
  EXPECT_NE(ReadFile((work / "TRKTQLoad.txt").string()).find("Source file: " + folder + "DELLOAD.DAT\n"),
            std::string::npos);
}

}  // namespace
}  // namespace trk::tqload::testing
