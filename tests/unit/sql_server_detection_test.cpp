#include <gtest/gtest.h>

#include "product/setup_state.h"
#include "setup_world.h"
#include "steps/sql/sql_server_setup.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kNativeClient64[] = "HKLM\\SOFTWARE\\Microsoft\\SQLNCLI11";
constexpr char kNativeClient32[] = "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\SQLNCLI11";

constexpr char kChecking[] = "User Interface:Checking whether SQL Server installed\r\n";
constexpr char kEditions[] =
    "User Interface:Checking SQL Editions\r\nUser Interface:Checked SQL Editions\r\n";
constexpr char kNoEditions[] = "User Interface:No SQL Editions found\r\n";

class SqlServerDetectionTest : public testing::Test, public SetupWorld {
 protected:
  SqlServerDetectionTest() { state.startDirectory = "C:\\"; }

  bool Detect() {
    const bool found = sql.DetectSqlServer();
    EXPECT_EQ(fake.wmi.LiveReferences(), 0) << "every WMI reference is released";
    EXPECT_EQ(fake.registry.OpenKeys(), 0U) << "every registry key is closed";
    return found;
  }
  std::string Log() { return fake.files.Content(kLogPath).value_or(""); }

  SqlServerSetup& sql = steps.sql;
};

TEST_F(SqlServerDetectionTest, OnlySqlServer2012CountsNothing) {
  fake.wmi.AddService(11, u"MSSQL$SQLEXPRESS", u"11.0.7001.0");
  EXPECT_FALSE(Detect());
  EXPECT_EQ(sql.instanceCount, 0);
  EXPECT_EQ(sql.versionsFound, 0x1U);
  EXPECT_EQ(Log(), std::string(kChecking) + kEditions + kNoEditions);
  EXPECT_FALSE(sql.nativeClientMissing);  // not looked for without instances
}

TEST_F(SqlServerDetectionTest, DefaultSqlServer2019IsUsable) {
  fake.wmi.AddService(15, u"MSSQLSERVER", u"15.0.2000.5");
  EXPECT_TRUE(Detect());
  EXPECT_EQ(sql.defaultInstanceFound, 1);
  EXPECT_EQ(sql.instanceCount, 1);
  EXPECT_EQ(sql.versionsFound, 0x10U);
  EXPECT_EQ(Log(), std::string(kChecking) + kEditions);
  EXPECT_TRUE(sql.nativeClientMissing);
}

struct NativeClientCase {
  const char* name;
  std::vector<const char*> keys;
  bool usable;
  bool missing;
};

TEST_F(SqlServerDetectionTest, NamedSqlServer2016DependsOnTheNativeClient) {
  const NativeClientCase cases[] = {
      {"64-bit key", {kNativeClient64}, true, false},
      {"both keys", {kNativeClient64, kNativeClient32}, true, false},
      {"only the WOW6432Node key", {kNativeClient32}, false, false},
      {"no key", {}, false, true},
  };
  for (const NativeClientCase& c : cases) {
    SetupWorld world;
    FakeMachine& machine = world.fake;
    machine.wmi.AddService(13, u"MSSQL$NEMBRIC", u"13.0.5026.0");
    for (const char* key : c.keys) {
      machine.registry.AddKey(key);
    }
    SqlServerSetup& setup = world.steps.sql;
    EXPECT_EQ(setup.DetectSqlServer(), c.usable) << c.name;
    EXPECT_EQ(setup.instanceCount, 1) << c.name;
    EXPECT_EQ(setup.defaultInstanceFound, 0) << c.name;
    EXPECT_EQ(setup.nativeClientMissing, c.missing) << c.name;
    EXPECT_EQ(setup.versionsFound, c.usable ? 0x24U : 0x4U) << c.name;
  }
}

TEST_F(SqlServerDetectionTest, NamedInstanceHoldingMssqlserverCountsAsDefault) {
  fake.wmi.AddService(14, u"MSSQL$MSSQLSERVER2", u"14.0.1000.169");
  fake.registry.AddKey(kNativeClient64);
  EXPECT_TRUE(Detect());
  EXPECT_EQ(sql.defaultInstanceFound, 1);
}

TEST_F(SqlServerDetectionTest, RepeatedDetectionsAccumulate) {
  fake.wmi.AddService(12, u"MSSQL$OLD", u"12.0.6024.0");
  EXPECT_FALSE(Detect());
  EXPECT_FALSE(Detect());
  EXPECT_EQ(sql.instanceCount, 2);
  EXPECT_EQ(sql.versionsFound, 0x2U);
  EXPECT_TRUE(sql.nativeClientMissing);
}

TEST_F(SqlServerDetectionTest, TheFirstNamespaceThatConnectsIsTheOnlyOneQueried) {
  fake.wmi.AddService(12, u"MSSQL$OLD", u"12.0.6024.0");
  fake.wmi.AddService(15, u"MSSQLSERVER", u"15.0.2000.5");
  EXPECT_FALSE(Detect());
  EXPECT_EQ(fake.wmi.connects,
            std::vector<std::u16string>({FakeWmi::NamespaceName(11), FakeWmi::NamespaceName(12)}));
  for (const FakeWmi::Query& query : fake.wmi.queries) {
    EXPECT_EQ(query.nameSpace, FakeWmi::NamespaceName(12));
  }
  EXPECT_EQ(sql.instanceCount, 1);
  EXPECT_EQ(sql.defaultInstanceFound, 0);
}

TEST_F(SqlServerDetectionTest, NoNamespaceTriesAllSixAndLogsOneLine) {
  EXPECT_FALSE(Detect());
  ASSERT_EQ(fake.wmi.connects.size(), 6U);
  EXPECT_EQ(fake.wmi.connects.front(), u"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement11");
  EXPECT_EQ(fake.wmi.connects.back(), u"\\\\.\\root\\Microsoft\\SqlServer\\ComputerManagement16");
  EXPECT_EQ(Log(), kChecking);
  EXPECT_EQ(sql.instanceCount, 0);
}

TEST_F(SqlServerDetectionTest, LocatorFailureLogsTheServerLine) {
  fake.wmi.locatorResult = static_cast<std::int32_t>(0x80040154U);  // REGDB_E_CLASSNOTREG
  EXPECT_FALSE(Detect());
  EXPECT_EQ(Log(),
            std::string(kChecking) +
                "Server Setup:Failed to create IWbemLocator object used for namespace connections\r\n");
}

TEST_F(SqlServerDetectionTest, SendsTheQueriesWithTheirTextsFlagsAndTimeOut) {
  fake.wmi.AddService(16, u"MSSQL$SQLEXPRESS", u"16.0.1000.6");
  fake.registry.AddKey(kNativeClient64);
  EXPECT_TRUE(Detect());
  ASSERT_EQ(fake.wmi.queries.size(), 2U);
  EXPECT_EQ(
      fake.wmi.queries[0].text,
      u"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'instanceID'");
  EXPECT_EQ(
      fake.wmi.queries[1].text,
      u"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
      u"ServiceName = 'MSSQL$SQLEXPRESS'");
  for (const FakeWmi::Query& query : fake.wmi.queries) {
    EXPECT_EQ(query.language, u"WQL");
    EXPECT_EQ(query.flags, 0x30);
  }
  for (const std::int32_t timeout : fake.wmi.nextTimeouts) {
    EXPECT_EQ(timeout, 10000);
  }
  EXPECT_EQ(sql.versionsFound, 0x20U);
}

TEST_F(SqlServerDetectionTest, FailedQueriesAndReadsLeaveFewerInstances) {
  fake.wmi.AddService(15, u"MSSQLSERVER", u"15.0.2000.5");
  fake.wmi.AddRow(15, FakeWmi::Row{1, u"instanceID", std::nullopt, u"MSSQL.BROKEN"});  // no service name
  fake.wmi.failQueriesHolding = u"'Version'";
  EXPECT_FALSE(Detect());
  EXPECT_EQ(sql.instanceCount, 0);
  EXPECT_EQ(sql.defaultInstanceFound, 1);  // read before its version
  EXPECT_EQ(Log(), std::string(kChecking) + kEditions + kNoEditions);
}

TEST_F(SqlServerDetectionTest, QuotesInNamesCannotChangeTheQuery) {
  // A service whose name tries to widen the query to every service's version.
  fake.wmi.AddService(15, u"MSSQLSERVER", u"15.0.2000.5");
  fake.wmi.AddService(15, u"MSSQL$X' OR PropertyName = 'Version", u"");
  WmiServices* services = nullptr;
  std::unique_ptr<WmiServices> owned = sql.ConnectSqlWmi();
  services = owned.get();
  ASSERT_NE(services, nullptr);
  EXPECT_EQ(sql.QueryServiceProperty(*services, u"MSSQL$X' OR PropertyName = 'Version", u"Version"), u"");
  EXPECT_EQ(sql.QueryServiceProperty(*services, u"MSSQLSERVER", u"Version"), u"15.0.2000.5");
  EXPECT_EQ(
      fake.wmi.queries[0].text,
      u"select * from SqlServiceAdvancedProperty where SQLServiceType = 1 and PropertyName = 'Version' and "
      u"ServiceName = 'MSSQL$X\\' OR PropertyName = \\'Version'");
}

TEST_F(SqlServerDetectionTest, LaterRowsOfAPropertyReplaceEarlierOnes) {
  fake.wmi.AddRow(15, FakeWmi::Row{1, u"Version", u"MSSQLSERVER", u"14.0"});
  fake.wmi.AddRow(15, FakeWmi::Row{1, u"Version", u"MSSQLSERVER", u"15.0"});
  fake.wmi.AddRow(15, FakeWmi::Row{1, u"Version", u"MSSQLSERVER", std::nullopt});  // read fails: kept
  std::unique_ptr<WmiServices> services = sql.ConnectSqlWmi();
  ASSERT_TRUE(services);
  EXPECT_EQ(sql.QueryServiceProperty(*services, u"MSSQLSERVER", u"Version"), u"15.0");
}

TEST_F(SqlServerDetectionTest, InstanceNameFollowsTheFirstDollar) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"MSSQL$SQLEXPRESS", "SQLEXPRESS"},
      {u"MSSQLSERVER", "MSSQLSERVER"},
      {u"", ""},
      {u"MSSQL$A$B", "A$B"},
      {u"MSSQL$", ""},
  };
  for (const auto& [service, instance] : cases) {
    EXPECT_EQ(sql.InstanceNameOf(service), instance);
  }
}

TEST(LeadingVersionNumber, ReadsLikeTheCLibrary) {
  const std::pair<const char16_t*, std::int32_t> cases[] = {
      {u"15.0.2000.5", 15},        {u"  13.1", 13}, {u"+12", 12}, {u"-15.0", -15}, {u"", 0}, {u"v15", 0},
      {u"99999999999", INT32_MAX}, {u"\t16", 16},
  };
  for (const auto& [text, number] : cases) {
    EXPECT_EQ(LeadingVersionNumber(text), number);
  }
}

TEST_F(SqlServerDetectionTest, VersionsOutsideTheKnownRangeSetNoBit) {
  fake.wmi.AddService(16, u"MSSQL$FUTURE", u"17.0.1");
  fake.wmi.AddService(16, u"MSSQL$NEGATIVE", u"-15");
  fake.registry.AddKey(kNativeClient32);
  EXPECT_FALSE(Detect());
  EXPECT_EQ(sql.instanceCount, 1);  // 17 counts, but gives no usable version bit
  EXPECT_EQ(sql.versionsFound, 0U);
}

}  // namespace
