// The cost of the registry calls the deliverables make, against the SQLite query underneath.
//
//   BM_OneShotRead      RegOpenKeyExA + RegQueryValueExA + RegCloseKey on the configuration key,
//                       as the tray companion and the print monitor read a value
//   BM_DirectQuery      the same lookup as one prepared SQLite statement on its own connection:
//                       the floor the registry calls are measured against
//   BM_SetValue         RegSetValueExA of a DWORD, committed
//
// Targets: BM_OneShotRead at most 3x BM_DirectQuery and under 20 us median; BM_SetValue under
// 200 us median. The machine root is a fresh temporary folder holding a registry of the size an
// installed machine has.
#include "support/temp_root.h"
#include "win32/registry.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kConfigKey = "Software\\Generic\\Selvane\\2.00";

void SetDword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

void SetText(HKEY key, const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

HKEY Create(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        std::abort();
    return key;
}

// Both configuration keys, the monitor's key and a few hundred other keys around them.
void Populate() {
    for (const char* company : {"Generic", "Dorvane"}) {
        HKEY key =
            Create(HKEY_LOCAL_MACHINE, std::string("Software\\") + company + "\\Selvane\\2.00");
        SetText(key, "Model Name", "Selvane 4-1");
        SetText(key, "Path", "/opt/selvane/bin");
        SetDword(key, "LPTx", 1);
        SetDword(key, "ActiveMode", 0);
        SetDword(key, "ActivePort", 2);
        for (const char* port : {"PA", "PB", "PC", "PD"}) {
            SetText(key, (std::string(port) + " Name").c_str(), "Printer");
            SetText(key, (std::string(port) + " Spooler").c_str(), "Printer,DRIVER,LPT1:");
        }
        RegCloseKey(key);
    }
    for (int i = 0; i < 300; ++i) {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Vendor" + std::to_string(i % 30) +
                                                  "\\App" + std::to_string(i));
        SetText(key, "Version", std::to_string(i));
        RegCloseKey(key);
    }
}

void BM_OneShotRead(benchmark::State& state) {
    for (auto _ : state) {
        HKEY key = nullptr;
        DWORD port = 0, size = sizeof port;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigKey, 0, KEY_ALL_ACCESS, &key) !=
                ERROR_SUCCESS ||
            RegQueryValueExA(key, "ActivePort", nullptr, nullptr, reinterpret_cast<BYTE*>(&port),
                             &size) != ERROR_SUCCESS) {
            state.SkipWithError("read failed");
            break;
        }
        RegCloseKey(key);
        benchmark::DoNotOptimize(port);
    }
}
BENCHMARK(BM_OneShotRead)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_DirectQuery(benchmark::State& state) {
    std::string file = std::string(std::getenv("SELVANE_ROOT")) + "/registry.db";
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db,
                           "SELECT v.type, v.data FROM keys k JOIN vals v ON v.key_id = k.id "
                           "AND v.uname = ?2 WHERE k.path = ?1",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        state.SkipWithError(sqlite3_errmsg(db));
        sqlite3_close(db);
        return;
    }
    const std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\GENERIC\\SELVANE\\2.00";
    for (auto _ : state) {
        sqlite3_bind_text(stmt, 1, path.c_str(), static_cast<int>(path.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, "ACTIVEPORT", -1, SQLITE_STATIC);
        DWORD port = 0;
        if (sqlite3_step(stmt) != SQLITE_ROW || sqlite3_column_bytes(stmt, 1) != 4) {
            state.SkipWithError("query failed");
            break;
        }
        std::memcpy(&port, sqlite3_column_blob(stmt, 1), 4);
        sqlite3_reset(stmt);
        benchmark::DoNotOptimize(port);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}
BENCHMARK(BM_DirectQuery)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_SetValue(benchmark::State& state) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        state.SkipWithError("open failed");
        return;
    }
    DWORD port = 0;
    for (auto _ : state) {
        port = (port + 1) & 3;
        if (RegSetValueExA(key, "ActivePort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port),
                           4) != ERROR_SUCCESS) {
            state.SkipWithError("set failed");
            break;
        }
    }
    RegCloseKey(key);
}
BENCHMARK(BM_SetValue)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    testing_support::TempRoot root;
    Populate();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
