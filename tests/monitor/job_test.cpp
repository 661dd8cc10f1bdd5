// The job path against the emulated box: what reaches which printer, the claim of a parallel
// port and the wait of the other ports of it, the printers' faults and time-outs.
#include "monitor_fixture.h"
#include "support/box.h"
#include "support/temp_root.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <thread>

using namespace monitor_test;
using testing_support::RunningBox;
using testing_support::Selvane;
using testing_support::TempRoot;

namespace {

const char kCommandA1[] = "00 11 91 30 B0 0D 8D";
const char kCommandB1[] = "00 11 91 31 B1 0D 8D";
const char kCommandA2[] = "01 11 91 30 B0 0D 8D";

void PrinterState(const std::string& lpt, const std::string& port, const std::string& option,
                  const std::string& value) {
    auto changed = Selvane({"box", "printer", lpt, port, option, value});
    ASSERT_EQ(changed.status, 0) << changed.err;
}

// A machine with LPT1 and LPT2, the box running, and a monitor started on it.
class BoxJobs : public ::testing::Test {
protected:
    void SetUp() override {
        LaidOut();
        box_.emplace();
        monitor_.emplace();
    }
    void TearDown() override { box_.reset(); }

    TempRoot root_;
    std::optional<RunningBox> box_;
    std::optional<Monitor> monitor_;
};

// The jobs that run at the same time: these also run under ThreadSanitizer.
class ConcurrentJobs : public BoxJobs {};

std::string JobFile(const TempRoot& root, const std::string& name, const std::string& data) {
    auto path = (root.path() / name).string();
    std::ofstream(path, std::ios::binary) << data;
    return path;
}

TEST_F(BoxJobs, AJobReachesExactlyThePrinterOfItsPort) {
    std::string data = Pattern(300000, 'b');
    EXPECT_EQ(PrintJob(*monitor_, monitor_->Open(kPortB1), data, "Printer PB"), "");
    EXPECT_EQ(BoxLog(), std::vector<std::string>{kCommandB1});
    EXPECT_TRUE(SameJobs(Received(1, 'B'), std::vector<std::string>{data}));
    for (auto [lpt, port] : {std::pair{1, 'A'}, {1, 'C'}, {1, 'D'}, {2, 'B'}})
        EXPECT_TRUE(Received(lpt, port).empty()) << "LPT" << lpt << " " << port;
    DWORD active = 99;
    EXPECT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, kConfigKey, "ActivePort", active));
    EXPECT_EQ(active, 1u); // the printed port became the stored one
}

TEST_F(BoxJobs, AnEmptyFirstWriteClaimsSwitchesAndOpens) {
    PortEntry* port = monitor_->Open(kPortA2);
    ASSERT_TRUE((*monitor_)->pfnStartDocPort(port, nullptr, 7, 1, nullptr));
    DWORD written = 12345;
    BYTE none = 0;
    EXPECT_TRUE((*monitor_)->pfnWritePort(port, &none, 0, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(BoxLog(), std::vector<std::string>{kCommandA2});
    EXPECT_NE(port->device, nullptr);
    EXPECT_TRUE((*monitor_)->pfnEndDocPort(port));
    EXPECT_EQ(port->device, nullptr);
    EXPECT_EQ(port->flags, 0u);
}

TEST_F(BoxJobs, ASecondPortOfTheSameLptWaitsThenFollows) {
    PortEntry* s = monitor_->Open(kPortA1);
    PortEntry* t = monitor_->Open(kPortB1);
    std::string first = Pattern(5000, '1'), second = Pattern(7000, '2'), other = Pattern(9000, 't');
    ASSERT_TRUE((*monitor_)->pfnStartDocPort(s, nullptr, 1, 1, nullptr));
    ASSERT_TRUE(WriteAll(*monitor_, s, first, nullptr));
    ASSERT_TRUE((*monitor_)->pfnStartDocPort(t, nullptr, 2, 1, nullptr));
    DWORD written = 777;
    auto* bytes = reinterpret_cast<LPBYTE>(other.data());
    EXPECT_TRUE((*monitor_)->pfnWritePort(t, bytes, static_cast<DWORD>(other.size()), &written));
    EXPECT_EQ(written, 0u); // after its 5-second wait, nothing taken
    EXPECT_EQ(t->device, nullptr);
    ASSERT_TRUE(WriteAll(*monitor_, s, second, nullptr));
    ASSERT_TRUE((*monitor_)->pfnEndDocPort(s));
    ASSERT_TRUE(WriteAll(*monitor_, t, other, nullptr)); // claims now
    ASSERT_TRUE((*monitor_)->pfnEndDocPort(t));
    EXPECT_EQ(BoxLog(), (std::vector<std::string>{kCommandA1, kCommandB1}));
    EXPECT_TRUE(SameJobs(Received(1, 'A'), std::vector<std::string>{first + second}));
    EXPECT_TRUE(SameJobs(Received(1, 'B'), std::vector<std::string>{other}));
}

TEST_F(BoxJobs, AJobEndingWithoutTheParallelPortLeavesTheHolderAlone) {
    PortEntry* s = monitor_->Open(kPortA1);
    PortEntry* t = monitor_->Open(kPortB1);
    PortEntry* u = monitor_->Open(kPortC1);
    SetDword(HKEY_LOCAL_MACHINE, kConfigKey, "ActivePort", 3);
    std::string first = Pattern(4000, 'f'), second = Pattern(4000, 's');
    ASSERT_TRUE((*monitor_)->pfnStartDocPort(s, nullptr, 1, 1, nullptr));
    ASSERT_TRUE(WriteAll(*monitor_, s, first, nullptr));
    // T's job ends before it ever wrote (as after a wait); U ends with no document at all.
    ASSERT_TRUE((*monitor_)->pfnStartDocPort(t, nullptr, 2, 1, nullptr));
    EXPECT_TRUE((*monitor_)->pfnEndDocPort(t));
    EXPECT_EQ(t->flags, 0u);
    EXPECT_TRUE((*monitor_)->pfnEndDocPort(u));
    // S still holds LPT1 with its device open: only a holder may set its port's time-outs.
    COMMTIMEOUTS timeouts{};
    EXPECT_TRUE((*monitor_)->pfnSetPortTimeOuts(s, &timeouts, 0));
    EXPECT_NE(s->device, nullptr);
    ASSERT_TRUE(WriteAll(*monitor_, s, second, nullptr));
    DWORD active = 99;
    EXPECT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, kConfigKey, "ActivePort", active));
    EXPECT_EQ(active, 3u); // no restore ran
    EXPECT_EQ(BoxLog(), std::vector<std::string>{kCommandA1});
    ASSERT_TRUE((*monitor_)->pfnEndDocPort(s));
    EXPECT_TRUE(SameJobs(Received(1, 'A'), std::vector<std::string>{first + second}));
}

TEST_F(ConcurrentJobs, TwoJobsRacingForOneLptPrintOneAfterTheOther) {
    std::string a = Pattern(400000, 'a'), b = Pattern(400000, 'b');
    std::atomic<int> ready{0};
    auto job = [&](const char* name, const std::string& data, std::string& result) {
        PortEntry* port = monitor_->Open(name);
        ++ready;
        while (ready < 2)
            std::this_thread::yield();
        result = PrintJob(*monitor_, port, data);
    };
    std::string resultA = "?", resultB = "?";
    std::thread first(job, kPortA1, std::cref(a), std::ref(resultA));
    std::thread second(job, kPortB1, std::cref(b), std::ref(resultB));
    first.join();
    second.join();
    EXPECT_EQ(resultA, "");
    EXPECT_EQ(resultB, "");
    // One claim at a time: each printer got its whole job and nothing of the other's.
    EXPECT_TRUE(SameJobs(Received(1, 'A'), std::vector<std::string>{a}));
    EXPECT_TRUE(SameJobs(Received(1, 'B'), std::vector<std::string>{b}));
    auto log = BoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0], log[1]);
}

TEST_F(ConcurrentJobs, JobsOnTwoLptsRunAtTheSameTime) {
    // LPT1's printer takes its job in about two seconds; LPT2's job is done meanwhile.
    PrinterState("LPT1", "A", "--slow", "100000");
    std::string slow = Pattern(200000, 's'), fast = Pattern(100000, 'f');
    std::atomic<bool> slowDone{false};
    std::string slowResult = "?";
    std::thread lpt1([&] {
        slowResult = PrintJob(*monitor_, monitor_->Open(kPortA1), slow);
        slowDone = true;
    });
    while (BoxLog().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(PrintJob(*monitor_, monitor_->Open(kPortA2), fast), "");
    EXPECT_FALSE(slowDone) << "the job on LPT2 waited for the one on LPT1";
    lpt1.join();
    EXPECT_EQ(slowResult, "");
    EXPECT_TRUE(SameJobs(Received(1, 'A'), std::vector<std::string>{slow}));
    EXPECT_TRUE(SameJobs(Received(2, 'A'), std::vector<std::string>{fast}));
}

TEST_F(ConcurrentJobs, TheJobsOfOneSpoolerProcessMeetAtTheParallelPorts) {
    // Both printers of LPT1 take about a second for their job, so that whichever job claims
    // LPT1 first still holds it when the other one writes.
    for (const char* port : {"A", "B"})
        ASSERT_EQ(Selvane({"box", "printer", "LPT1", port, "--slow", "300000"}).status, 0);
    std::string a = Pattern(300000, 'a'), b = Pattern(300000, 'b'), c = Pattern(500000, 'c');
    auto print = Selvane({"spool", "print", kPortA1, JobFile(root_, "a.prn", a), kPortB1,
                          JobFile(root_, "b.prn", b), kPortA2, JobFile(root_, "c.prn", c)});
    EXPECT_EQ(print.status, 0) << print.err;
    EXPECT_TRUE(SameJobs(Received(1, 'A'), std::vector<std::string>{a}));
    EXPECT_TRUE(SameJobs(Received(1, 'B'), std::vector<std::string>{b}));
    EXPECT_TRUE(SameJobs(Received(2, 'A'), std::vector<std::string>{c}));
    // The job of LPT2 went ahead at once; the two of LPT1 followed one another.
    auto log = BoxLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[0] == "01 11 91 30 B0 0D 8D" || log[1] == "01 11 91 30 B0 0D 8D")
        << log[0] << " / " << log[1] << " / " << log[2];
    EXPECT_EQ(log[2].substr(0, 2), "00");
}

TEST_F(BoxJobs, EachFaultGivesItsError) {
    struct Row {
        const char* fault;
        DWORD notSelectedTimeout; // of the job's printer, ms
        DWORD error;
    };
    const Row rows[] = {
        {"paper-out", 15000, ERROR_OUT_OF_PAPER},
        {"io-error", 15000, ERROR_IO_DEVICE},
        // Offline: each write waits its 3-second time-out, which already exceeds this printer's.
        {"offline", 1000, ERROR_NOT_READY},
    };
    PortEntry* port = monitor_->Open(kPortC1);
    std::string data = Pattern(1000, 'x');
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        SetDword(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\Printer PC", "dnsTimeout",
                 row.notSelectedTimeout);
        PrinterState("LPT1", "C", "--fault", row.fault);
        auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(PrintJob(*monitor_, port, data, "Printer PC"), std::to_string(row.error));
        auto took = std::chrono::steady_clock::now() - started;
        if (row.error != ERROR_NOT_READY) {
            EXPECT_LT(took, std::chrono::milliseconds(2500)) << "it waited for the time-out";
        }
    }
    PrinterState("LPT1", "C", "--fault", "none");
    EXPECT_EQ(PrintJob(*monitor_, port, data, "Printer PC"), "");
    auto jobs = Received(1, 'C');
    ASSERT_FALSE(jobs.empty());
    EXPECT_TRUE(SameJobs({jobs.back()}, {data}));
    for (size_t i = 0; i + 1 < jobs.size(); ++i)
        EXPECT_TRUE(jobs[i].empty()) << "a faulty printer took data of job " << i + 1;
}

TEST_F(BoxJobs, ANotSelectedTimeoutOfZeroWaitsAsLongAsThePrinterIsOffline) {
    SetDword(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\Printer PD", "dnsTimeout", 0);
    PrinterState("LPT1", "D", "--fault", "offline");
    std::string data = Pattern(2000, 'd');
    std::string result = "?";
    std::atomic<bool> done{false};
    std::thread job([&] {
        result = PrintJob(*monitor_, monitor_->Open("LPx1-  PD (selvane)"), data, "Printer PD");
        done = true;
    });
    // Two write time-outs go by, and the job still waits for its printer.
    std::this_thread::sleep_for(std::chrono::milliseconds(6500));
    EXPECT_FALSE(done);
    PrinterState("LPT1", "D", "--fault", "none");
    job.join();
    EXPECT_EQ(result, "");
    EXPECT_TRUE(SameJobs(Received(1, 'D'), std::vector<std::string>{data}));
}

// Without a box: LPT1 as a plain file of the machine root, or missing.
TEST(JobPath, TimeoutsFromThePrinterRecordOrTheDefaults) {
    TempRoot root;
    LaidOut();
    std::string record = std::string(kPrintersKey) + "\\Printer PA";
    SetDword(HKEY_LOCAL_MACHINE, record, "dnsTimeout", 1234);
    SetDword(HKEY_LOCAL_MACHINE, record, "txTimeout", 5678);
    DeleteValue(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\Printer PB", "dnsTimeout");
    DeleteValue(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "\\Printer PB", "txTimeout");
    std::ofstream(root.path() / "dev" / "LPT1").put('\0');
    Monitor monitor;
    struct Row {
        const char* printer;
        DWORD notSelected, retry;
    };
    const Row rows[] = {
        {"Printer PA", 1234, 5678},
        {"Printer PB", 15000, 45000}, // a record without time-outs
        {"No Such Printer", 15000, 45000},
        {"", 15000, 45000},
    };
    PortEntry* port = monitor.Open(kPortA1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.printer);
        std::string name = row.printer;
        ASSERT_TRUE(monitor->pfnStartDocPort(port, name.data(), 1, 1, nullptr));
        DWORD written = 0;
        BYTE none = 0;
        ASSERT_TRUE(monitor->pfnWritePort(port, &none, 0, &written));
        EXPECT_EQ(port->notSelectedTimeout, row.notSelected);
        EXPECT_EQ(port->retryTimeout, row.retry);
        EXPECT_EQ(port->printer != nullptr, *row.printer && row.printer[0] == 'P');
        ASSERT_TRUE(monitor->pfnEndDocPort(port));
        EXPECT_EQ(port->printer, nullptr);
    }
}

TEST(JobPath, AWriteAfterTheDeviceFailedToOpenTriesAgain) {
    TempRoot root;
    LaidOut();
    Monitor monitor;
    PortEntry* port = monitor.Open(kPortB1);
    ASSERT_TRUE(monitor->pfnStartDocPort(port, nullptr, 1, 1, nullptr));
    std::string data = "a job for a port that was not there at first";
    DWORD written = 99;
    auto* bytes = reinterpret_cast<LPBYTE>(data.data());
    EXPECT_FALSE(monitor->pfnWritePort(port, bytes, static_cast<DWORD>(data.size()), &written));
    EXPECT_EQ(monitor.LastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(written, 0u);
    std::ofstream(root.path() / "dev" / "LPT1").flush(); // the device appears
    EXPECT_TRUE(monitor->pfnWritePort(port, bytes, static_cast<DWORD>(data.size()), &written));
    EXPECT_EQ(written, data.size());
    EXPECT_TRUE(monitor->pfnEndDocPort(port));
    std::ifstream in(root.path() / "dev" / "LPT1");
    std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, data);
}

TEST(JobPath, StartDocPortKeepsTheFirstJobAndCutsLongPrinterNames) {
    TempRoot root;
    LaidOut();
    Monitor monitor;
    PortEntry* port = monitor.Open(kPortA1);
    std::string longName(200, 'n'), other = "Other";
    EXPECT_TRUE(monitor->pfnStartDocPort(port, longName.data(), 41, 1, nullptr));
    EXPECT_EQ(port->flags, 1u);
    EXPECT_EQ(port->jobId, 41u);
    EXPECT_EQ(std::string(port->printerName), std::string(127, 'n'));
    EXPECT_TRUE(monitor->pfnStartDocPort(port, other.data(), 42, 1, nullptr));
    EXPECT_EQ(port->jobId, 41u);
    EXPECT_EQ(std::string(port->printerName), std::string(127, 'n'));
    // The job never wrote: it ends holding nothing and leaves the key alone.
    EXPECT_TRUE(monitor->pfnEndDocPort(port));
    EXPECT_EQ(port->flags, 0u);
    DWORD active = 99;
    EXPECT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, kConfigKey, "ActivePort", active));
    EXPECT_TRUE(monitor->pfnClosePort(port));
}

} // namespace
