// `selvane spool`, the spooler host: the real monitor in a spooler process of its own, with the
// box running.
#include "monitor_fixture.h"
#include "support/box.h"
#include "support/process.h"
#include "support/temp_root.h"

#include <fstream>

using namespace monitor_test;
using testing_support::RunningBox;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

std::string JobFile(const TempRoot& root, const std::string& name, const std::string& data) {
    auto path = (root.path() / name).string();
    std::ofstream(path, std::ios::binary) << data;
    return path;
}

TEST(Spool, ListsThePortsAtLevelsOneAndTwo) {
    TempRoot root;
    ASSERT_EQ(Selvane({"setup", "--lpt", "LPT2", "--ports", "PA,PC"}).status, 0);
    auto one = Selvane({"spool", "ports"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "LPx2-  PA (selvane)\nLPx2-  PC (selvane)\n");
    auto two = Selvane({"spool", "ports", "--level", "2"});
    EXPECT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(two.out,
              "LPx2-  PA (selvane)\tLocal Port\t\t3\nLPx2-  PC (selvane)\tLocal Port\t\t3\n");
    EXPECT_EQ(Selvane({"spool", "ports", "--level", "3"}).status, 2);
}

TEST(Spool, AFailedJobNamesTheWindowsError) {
    TempRoot root;
    LaidOut();
    RunningBox box;
    ASSERT_EQ(Selvane({"box", "printer", "LPT1", "C", "--fault", "paper-out"}).status, 0);
    auto print = Selvane({"spool", "print", kPortC1, JobFile(root, "job.prn", "data"), kPortA2,
                          JobFile(root, "other.prn", "other")});
    EXPECT_EQ(print.status, 1);
    EXPECT_NE(print.err.find("ERROR_OUT_OF_PAPER (28)"), std::string::npos) << print.err;
    EXPECT_TRUE(
        SameJobs(Received(2, 'A'), std::vector<std::string>{"other"})); // the other job printed

    auto unknown = Selvane({"spool", "print", "LPx9-  PA (selvane)", JobFile(root, "x", "x")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no port"), std::string::npos) << unknown.err;
    EXPECT_EQ(Selvane({"spool", "print", kPortA1}).status, 2);
    EXPECT_EQ(Selvane({"spool", "print", kPortA1, (root.path() / "missing").string()}).status, 1);
}

TEST(Spool, WithoutAMonitorDriverNothingLoads) {
    TempRoot root;
    LaidOut();
    DeleteValue(HKEY_LOCAL_MACHINE, kMonitorKey, "Driver");
    auto ports = Selvane({"spool", "ports"});
    EXPECT_EQ(ports.status, 1);
    EXPECT_NE(ports.err.find("Driver"), std::string::npos) << ports.err;
}

} // namespace
