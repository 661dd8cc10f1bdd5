// The registry's store: one SQLite database, registry.db in the machine root.
//
// Map of this file:
//   - names and paths: ASCII upper-casing, splitting a subkey path at its backslashes
//   - the schema and the statements, all prepared once per connection
//   - connection state: which registry.db is open and what it turned out to be (absent, empty,
//     ours, or not ours); Ensure() follows MachineRoot() on every call, and notices a file
//     removed or replaced under it (InPlace)
//   - the write scope: BEGIN IMMEDIATE ... COMMIT around one call, or a savepoint inside
//     Transaction()
//   - the public methods, each behind a guard that turns a C++ exception into an error code
//
// Layout. keys(id, parent, name, uname, path): uname is the upper-cased name, path the
// upper-cased full path from the root ("HKEY_LOCAL_MACHINE\SOFTWARE\GENERIC"), unique, so that
// opening a key of any depth is one point query. The three roots are rows 1 to 3. vals(id,
// key_id, name, uname, type, data): values of a key enumerate by id, their creation order; an
// overwrite updates the row in place and keeps that order. Ids are AUTOINCREMENT: a deleted
// key's id is never handed out again, so a handle to a deleted key stays "deleted" even after a
// key of the same name comes back.
//
// Sharing. Every process keeps one connection, used under one mutex by all its threads. Nothing
// read is kept across calls: each read is its own statement, so it sees whatever any process
// committed before it. Writes run in BEGIN IMMEDIATE transactions (the write lock is taken
// first, so two writers queue behind busy_timeout instead of failing on an upgrade). The
// journal is WAL with synchronous=NORMAL: a commit is in the WAL once COMMIT returns, and the
// WAL survives the death of the process that wrote it.
//
// A registry.db that is not ours (a corrupt file, another program's database) is never written:
// it is looked at with read-only statements, with checkpoint-on-close turned off, and every call
// then fails with ERROR_BADDB.
#include "registry/registry_store.h"

#include "kernel/machine_root.h"
#include "kernel/sys.h"
#include "win32/registry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <mutex>
#include <new>

namespace platform::registry {

namespace {

// "SELV": marks a database as this registry. user_version is the schema's version.
constexpr int kApplicationId = 0x53454C56;
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 10000;

constexpr KeyId kLocalMachine = 1;
constexpr KeyId kCurrentUser = 2;
constexpr KeyId kDynData = 3;

bool IsRoot(KeyId id) {
    return id >= kLocalMachine && id <= kDynData;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = Upper(c);
    return out;
}

// The components of a subkey path. Empty components (a leading, doubled or trailing backslash)
// are skipped: the monitor opens its key by a path that ends in a backslash, and Windows 95
// accepts that; skipping them never reaches a key the caller did not name.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// "\A\B" for "a\\b\": what follows the parent's path in the path of the key named.
std::string PathSuffix(std::string_view path) {
    std::string suffix;
    suffix.reserve(path.size() + 1);
    char last = '\\';
    for (char c : path) {
        if (c != '\\') {
            if (last == '\\') suffix += '\\'; // one separator, however many were written
            suffix += Upper(c);
        }
        last = c;
    }
    return suffix;
}

LONG FromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_BUSY;
    case SQLITE_NOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
    case SQLITE_FORMAT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

const char* const kSchema = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER,
    name TEXT NOT NULL,
    uname TEXT NOT NULL,
    path TEXT NOT NULL UNIQUE);
CREATE INDEX keys_children ON keys(parent, uname);
CREATE TABLE vals(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key_id INTEGER NOT NULL,
    name TEXT NOT NULL,
    uname TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key_id, uname));
CREATE INDEX vals_order ON vals(key_id);
INSERT INTO keys(id, parent, name, uname, path) VALUES
    (1, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
    (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),
    (3, NULL, 'HKEY_DYN_DATA', 'HKEY_DYN_DATA', 'HKEY_DYN_DATA');
PRAGMA application_id = 1397050454;
PRAGMA user_version = 1;
)sql";
static_assert(kApplicationId == 1397050454 && kSchemaVersion == 1, "keep kSchema in step");

enum Sql : size_t {
    kBegin,
    kCommit,
    kRollback,
    kSavepoint,
    kRelease,
    kRollbackTo,
    kOpen,
    kKeyPath,
    kFindPath,
    kInsertKey,
    kQueryValue,
    kSetValue,
    kDeleteValue,
    kDeleteSubtreeValues,
    kDeleteKeyValues,
    kDeleteSubtree,
    kDeleteKey,
    kEnumKey,
    kEnumValue,
    kSqlCount
};

// Every statement the store runs, prepared once per connection. `?2` of kOpen is the suffix
// made by PathSuffix: the key's path is the parent's path followed by it.
const std::array<const char*, kSqlCount> kStatements = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SAVEPOINT call",
    "RELEASE call",
    "ROLLBACK TO call",
    "SELECT (SELECT id FROM keys WHERE path = p.path || ?2) FROM keys p WHERE p.id = ?1",
    "SELECT path FROM keys WHERE id = ?1",
    "SELECT id FROM keys WHERE path = ?1",
    "INSERT INTO keys(parent, name, uname, path) VALUES(?1, ?2, ?3, ?4)",
    "SELECT v.type, v.data FROM keys k LEFT JOIN vals v ON v.key_id = k.id AND v.uname = ?2 "
    "WHERE k.id = ?1",
    "INSERT INTO vals(key_id, name, uname, type, data) SELECT ?1, ?2, ?3, ?4, ?5 "
    "WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1) "
    "ON CONFLICT(key_id, uname) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM vals WHERE key_id = ?1 AND uname = ?2",
    // The descendants of a key with path P are the paths from P\ (0x5C) up to, not including,
    // P] (0x5D): a range of the path index.
    "DELETE FROM vals WHERE key_id IN (SELECT id FROM keys WHERE path >= ?1 AND path < ?2)",
    "DELETE FROM vals WHERE key_id = ?1",
    "DELETE FROM keys WHERE path >= ?1 AND path < ?2",
    "DELETE FROM keys WHERE id = ?1",
    "SELECT (SELECT name FROM keys WHERE parent = p.id ORDER BY uname LIMIT 1 OFFSET ?2) "
    "FROM keys p WHERE p.id = ?1",
    "SELECT v.name, v.type, v.data FROM keys k LEFT JOIN vals v ON v.id = "
    "(SELECT id FROM vals WHERE key_id = k.id ORDER BY id LIMIT 1 OFFSET ?2) WHERE k.id = ?1",
};

// A statement that could not be prepared (busy, corrupt schema, out of memory).
struct SqliteError {
    int rc;
};

// One run of a cached statement: bound, stepped, and reset when it goes out of scope, so the
// read transaction it opened ends with the call.
class Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, int64_t value) {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    // Text and blobs are bound without a copy: every caller keeps them alive until the
    // statement is done, which is the end of the Statement's scope at the latest.
    Statement& Bind(int index, std::string_view text) {
        // A null pointer would bind NULL; the empty name is "".
        sqlite3_bind_text(stmt_, index, text.empty() ? "" : text.data(),
                          static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    Statement& BindBlob(int index, std::span<const BYTE> data) {
        static const BYTE kEmpty = 0;
        sqlite3_bind_blob(stmt_, index, data.empty() ? &kEmpty : data.data(),
                          static_cast<int>(data.size()), SQLITE_STATIC);
        return *this;
    }
    int Step() { return sqlite3_step(stmt_); }

    bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column) const {
        auto text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }
    // Into `out`, reusing its storage.
    void Blob(int column, std::vector<BYTE>& out) const {
        auto data = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, column));
        auto size = static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
        if (data)
            out.assign(data, data + size);
        else
            out.clear();
    }

private:
    sqlite3_stmt* stmt_;
};

// What the registry.db of the current root is.
enum class DbState {
    None,   // not looked at yet
    Absent, // no file: an empty registry
    Empty,  // a file with no tables yet: an empty registry, set up by the first write
    Ours,   // our schema
    Bad,    // corrupt or another program's: refused
};

// What a call needs of registry.db: to read it, to write it if it is there, or to write it
// and make it when it is missing.
enum class Need { Read, Write, Create };

struct FileId {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};
};

} // namespace

class Store::Impl {
public:
    ~Impl() { Close(); }

    LONG Open(KeyId parent, std::string_view path, KeyId& key);
    LONG Create(KeyId parent, std::string_view path, KeyId& key, bool& created);
    LONG QueryValue(KeyId key, std::string_view name, Value& value);
    LONG SetValue(KeyId key, std::string_view name, DWORD type, std::span<const BYTE> data);
    LONG DeleteValue(KeyId key, std::string_view name);
    LONG DeleteKey(KeyId parent, std::string_view path);
    LONG EnumKey(KeyId key, DWORD index, std::string& name);
    LONG EnumValue(KeyId key, DWORD index, Value& value);
    LONG Transaction(const std::function<LONG()>& body);
    LONG Check(std::string& problem);

private:
    LONG Ensure(Need need);
    LONG OpenFile(const std::filesystem::path& root, const std::string& file, bool create);
    LONG Classify();
    LONG SetUp();
    void Close();
    bool InPlace(Need need);
    LONG Exec(Sql sql);
    Statement Run(Sql sql);
    LONG MarkBad(std::string problem);
    // Runs one write: in its own BEGIN IMMEDIATE transaction, or in a savepoint of the
    // transaction Transaction() holds open. With `Need::Write` a missing registry.db is not
    // created for it: `op` is not run and `absent` is returned.
    template <class Op> LONG Write(Need need, KeyId key, LONG absent, Op op);
    // A read: ERROR_SUCCESS to go on, `absent` when there is no registry (roots only; any other
    // key has gone with the file), or the store's error.
    LONG Read(KeyId key, LONG absent, Need need = Need::Read);
    LONG KeyPath(KeyId key, std::string& path);

    std::recursive_mutex mutex_;
    sqlite3* db_ = nullptr;
    std::array<sqlite3_stmt*, kSqlCount> statements_{};
    DbState state_ = DbState::None;
    FileId file_;
    std::string root_; // the machine root file_ is in
    // An O_PATH descriptor of the open file: fstat on it tells, without a path lookup, whether
    // the file is still linked. Closing an O_PATH descriptor drops none of the process's
    // POSIX locks on the file, which SQLite's own locks depend on.
    int pathFd_ = -1;
    struct timespec checked_ {}; // when InPlace last found the file in place
    std::string problem_;
    int depth_ = 0;                // nesting of Transaction()
    bool transactionOpen_ = false; // Transaction() has run BEGIN IMMEDIATE
};

// ---- Connection state ----------------------------------------------------------------------

void Store::Impl::Close() {
    for (auto& stmt : statements_) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
    }
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    SysClose(pathFd_);
    pathFd_ = -1;
    checked_ = {};
}

// Whether the open registry.db is still the file of that name. A write asks every time: it
// must never land in a file that was removed (it would be lost with it). A read asks once per
// tick of the coarse clock (a few milliseconds): a system call costs as much as the query, and
// removing registry.db is no registry operation; every change made through the registry is
// seen at once regardless.
bool Store::Impl::InPlace(Need need) {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now); // read from memory, no system call
    if (need == Need::Read && now.tv_sec == checked_.tv_sec && now.tv_nsec == checked_.tv_nsec)
        return true;
    // The fstat system call itself: the C library's fstat goes through fstatat with an empty
    // path, which costs a name lookup.
    struct stat st {};
    if (pathFd_ < 0 || ::syscall(SYS_fstat, pathFd_, &st) != 0 || st.st_nlink == 0) return false;
    checked_ = now;
    return true;
}

LONG Store::Impl::MarkBad(std::string problem) {
    Close(); // checkpoint-on-close is off: closing writes nothing
    state_ = DbState::Bad;
    problem_ = file_.path + ": " + problem;
    return ERROR_BADDB;
}

// Follows the machine root and the file under it. A root that changed, or a registry.db that
// was removed or replaced since the last call, is looked at afresh. Inside Transaction() the
// connection stays what it was when the transaction began.
LONG Store::Impl::Ensure(Need need) {
    if (depth_ > 0 && db_ && state_ == DbState::Ours) return ERROR_SUCCESS;
    std::filesystem::path root = MachineRoot();
    // The common case, kept to one fstat: our registry, in the same root, still in place.
    if (state_ == DbState::Ours && root.native() == root_ && InPlace(need)) return ERROR_SUCCESS;
    std::string file = (root / "registry.db").string();
    struct stat st {};
    bool exists = ::stat(file.c_str(), &st) == 0;
    bool same =
        state_ != DbState::None && file == file_.path &&
        (exists ? (state_ != DbState::Absent && st.st_dev == file_.dev && st.st_ino == file_.ino)
                : state_ == DbState::Absent);
    // A refused file is looked at again when it is rewritten in place.
    if (same && state_ == DbState::Bad &&
        (st.st_size != file_.size || st.st_mtim.tv_sec != file_.mtime.tv_sec ||
         st.st_mtim.tv_nsec != file_.mtime.tv_nsec))
        same = false;
    if (!same) {
        Close();
        state_ = DbState::None;
        file_ = FileId{file};
        root_ = root.native();
        if (!exists) {
            state_ = DbState::Absent;
        } else if (LONG error = OpenFile(root, file, false); error != ERROR_SUCCESS) {
            return error;
        }
    }
    switch (state_) {
    case DbState::Ours:
        return ERROR_SUCCESS;
    case DbState::Bad:
        return ERROR_BADDB;
    case DbState::Absent:
        if (need != Need::Create) return ERROR_SUCCESS;
        state_ = DbState::None;
        if (LONG error = OpenFile(root, file, true); error != ERROR_SUCCESS) return error;
        break;
    case DbState::Empty:
        // Another process may have set it up since.
        if (LONG error = Classify(); error != ERROR_SUCCESS) return error;
        break;
    case DbState::None:
        break;
    }
    if (state_ == DbState::Empty && need == Need::Create) return SetUp();
    return state_ == DbState::Bad ? ERROR_BADDB : ERROR_SUCCESS;
}

LONG Store::Impl::OpenFile(const std::filesystem::path& root, const std::string& file,
                           bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create) {
        std::error_code ignored; // a failure shows in the open that follows
        std::filesystem::create_directories(root, ignored);
        flags |= SQLITE_OPEN_CREATE;
    }
    int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        Close();
        state_ = create ? DbState::None : DbState::Absent;
        return create ? FromSqlite(rc) : ERROR_SUCCESS; // vanished between stat and open
    }
    sqlite3_extended_result_codes(db_, 1);
    // Until the file is known to be ours, closing must not checkpoint a WAL into it.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // A commit is in the WAL when COMMIT returns; only a power cut could lose it.
    sqlite3_exec(db_, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    if (auto fd = SysOpen(file, O_PATH)) pathFd_ = fd.value;
    struct stat st {};
    if (::fstat(pathFd_, &st) == 0) {
        file_.dev = st.st_dev;
        file_.ino = st.st_ino;
        file_.size = st.st_size;
        file_.mtime = st.st_mtim;
    }
    return Classify();
}

// Looks at the open file with read-only statements and sets state_.
LONG Store::Impl::Classify() {
    // One statement, so one snapshot: another process may be setting the file up meanwhile,
    // and a mark from before its commit with tables from after it would look foreign.
    int applicationId = 0, version = 0, tables = 0;
    bool hasKeys = false, hasVals = false;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(
        db_,
        "SELECT (SELECT application_id FROM pragma_application_id), "
        "(SELECT user_version FROM pragma_user_version), "
        "(SELECT count(*) FROM sqlite_master WHERE type = 'table'), "
        "EXISTS(SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'keys'), "
        "EXISTS(SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'vals')",
        -1, &stmt, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        applicationId = sqlite3_column_int(stmt, 0);
        version = sqlite3_column_int(stmt, 1);
        tables = sqlite3_column_int(stmt, 2);
        hasKeys = sqlite3_column_int(stmt, 3) != 0;
        hasVals = sqlite3_column_int(stmt, 4) != 0;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW) {
        int code = rc & 0xFF;
        if (code == SQLITE_NOTADB) return MarkBad("not a registry database (not an SQLite file)");
        if (code == SQLITE_CORRUPT)
            return MarkBad(std::string("corrupt registry database (") + sqlite3_errmsg(db_) + ")");
        LONG error = FromSqlite(rc); // busy, I/O: look again at the next call
        Close();
        state_ = DbState::None;
        return error;
    }
    if (applicationId == kApplicationId && version == kSchemaVersion && hasKeys && hasVals) {
        // Once per process and file: damage inside the tables shows here, before a call
        // half-reads a key. A registry holds hundreds of keys, so this takes a millisecond.
        std::string verdict;
        rc = sqlite3_prepare_v2(db_, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
        if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            auto text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            verdict = text ? text : "";
        }
        sqlite3_finalize(stmt);
        if ((rc & 0xFF) == SQLITE_CORRUPT || (rc == SQLITE_ROW && verdict != "ok")) {
            if (verdict.empty()) verdict = sqlite3_errmsg(db_);
            for (char& c : verdict)
                if (c == '\n') c = ' ';
            return MarkBad("corrupt registry database (" + verdict + ")");
        }
        if (rc != SQLITE_ROW) {
            LONG error = FromSqlite(rc);
            Close();
            state_ = DbState::None;
            return error;
        }
        state_ = DbState::Ours;
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        return ERROR_SUCCESS;
    }
    if (tables == 0 && (applicationId == 0 || applicationId == kApplicationId)) {
        state_ = DbState::Empty;
        return ERROR_SUCCESS;
    }
    char account[160];
    if (applicationId == kApplicationId)
        std::snprintf(account, sizeof account,
                      "a registry database of an unknown layout (version %d)", version);
    else
        std::snprintf(account, sizeof account,
                      "not a registry database (application_id 0x%08X, %d tables)",
                      static_cast<unsigned>(applicationId), tables);
    return MarkBad(account);
}

// Turns an empty file into a registry. Several processes may race here: the journal mode is
// set first (a no-op when another did it), then the schema is made under the write lock,
// after a second look at what is there by then.
LONG Store::Impl::SetUp() {
    int rc = sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return FromSqlite(rc);
    rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return FromSqlite(rc);
    if (LONG error = Classify(); error != ERROR_SUCCESS) {
        if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return error;
    }
    if (state_ == DbState::Empty) {
        rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return FromSqlite(rc);
        }
        return Classify();
    }
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    return state_ == DbState::Ours ? ERROR_SUCCESS : ERROR_BADDB;
}

// ---- Statements ----------------------------------------------------------------------------

Statement Store::Impl::Run(Sql sql) {
    sqlite3_stmt*& stmt = statements_[sql];
    if (!stmt) {
        int rc = sqlite3_prepare_v3(db_, kStatements[sql], -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                                    nullptr);
        if (rc != SQLITE_OK) throw SqliteError{rc};
    }
    return Statement(stmt);
}

LONG Store::Impl::Exec(Sql sql) {
    Statement stmt = Run(sql);
    return FromSqlite(stmt.Step());
}

LONG Store::Impl::Read(KeyId key, LONG absent, Need need) {
    if (LONG error = Ensure(need); error != ERROR_SUCCESS) return error;
    if (db_ && state_ == DbState::Ours) return ERROR_SUCCESS;
    // No registry (yet): the roots are there and empty; any other key went with the file.
    return IsRoot(key) ? absent : ERROR_KEY_DELETED;
}

template <class Op> LONG Store::Impl::Write(Need need, KeyId key, LONG absent, Op op) {
    if (need == Need::Write || !IsRoot(key)) {
        // Nothing to delete, or a key of a registry that is gone: no file is made for it.
        if (LONG error = Read(key, absent, Need::Write); error != ERROR_SUCCESS) return error;
    } else if (LONG error = Ensure(Need::Create); error != ERROR_SUCCESS) {
        return error;
    }
    bool outer = depth_ == 0;
    if (!outer && !transactionOpen_) {
        if (LONG error = Exec(kBegin); error != ERROR_SUCCESS) return error;
        transactionOpen_ = true;
    }
    if (LONG error = Exec(outer ? kBegin : kSavepoint); error != ERROR_SUCCESS) return error;
    LONG result;
    try {
        result = op();
    } catch (...) {
        if (outer) {
            Exec(kRollback);
        } else {
            Exec(kRollbackTo);
            Exec(kRelease);
        }
        throw;
    }
    if (outer) {
        if (result == ERROR_SUCCESS) result = Exec(kCommit);
        if (result != ERROR_SUCCESS && !sqlite3_get_autocommit(db_)) Exec(kRollback);
    } else {
        if (result != ERROR_SUCCESS) Exec(kRollbackTo);
        if (LONG error = Exec(kRelease); result == ERROR_SUCCESS) result = error;
    }
    return result;
}

LONG Store::Impl::KeyPath(KeyId key, std::string& path) {
    Statement stmt = Run(kKeyPath);
    int rc = stmt.Bind(1, key).Step();
    if (rc == SQLITE_ROW) {
        path = stmt.Text(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : FromSqlite(rc);
}

// ---- Operations ----------------------------------------------------------------------------

LONG Store::Impl::Open(KeyId parent, std::string_view path, KeyId& key) {
    std::lock_guard lock(mutex_);
    std::string suffix = PathSuffix(path);
    if (LONG error = Read(parent, suffix.empty() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
        error != ERROR_SUCCESS || !db_ || state_ != DbState::Ours) {
        if (error == ERROR_SUCCESS) key = parent; // a root of an empty registry, opened again
        return error;
    }
    Statement stmt = Run(kOpen);
    int rc = stmt.Bind(1, parent).Bind(2, suffix).Step();
    if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW) return FromSqlite(rc);
    if (suffix.empty()) {
        key = parent;
        return ERROR_SUCCESS;
    }
    if (stmt.IsNull(0)) return ERROR_FILE_NOT_FOUND;
    key = stmt.Int(0);
    return ERROR_SUCCESS;
}

LONG Store::Impl::Create(KeyId parent, std::string_view path, KeyId& key, bool& created) {
    std::lock_guard lock(mutex_);
    auto parts = Components(path);
    created = false;
    return Write(Need::Create, parent, ERROR_SUCCESS, [&]() -> LONG {
        std::string current;
        if (LONG error = KeyPath(parent, current); error != ERROR_SUCCESS) return error;
        KeyId id = parent;
        bool made = false;
        for (auto part : parts) {
            std::string uname = UpperCase(part);
            current += '\\';
            current += uname;
            Statement find = Run(kFindPath);
            int rc = find.Bind(1, current).Step();
            if (rc == SQLITE_ROW) {
                id = find.Int(0);
                made = false;
                continue;
            }
            if (rc != SQLITE_DONE) return FromSqlite(rc);
            Statement insert = Run(kInsertKey);
            rc = insert.Bind(1, id).Bind(2, part).Bind(3, uname).Bind(4, current).Step();
            if (rc != SQLITE_DONE) return FromSqlite(rc);
            id = sqlite3_last_insert_rowid(db_);
            made = true;
        }
        key = id;
        created = made;
        return ERROR_SUCCESS;
    });
}

LONG Store::Impl::QueryValue(KeyId key, std::string_view name, Value& value) {
    std::lock_guard lock(mutex_);
    if (LONG error = Read(key, ERROR_FILE_NOT_FOUND); error != ERROR_SUCCESS) return error;
    std::string uname = UpperCase(name);
    Statement stmt = Run(kQueryValue);
    int rc = stmt.Bind(1, key).Bind(2, uname).Step();
    if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW) return FromSqlite(rc);
    if (stmt.IsNull(0)) return ERROR_FILE_NOT_FOUND;
    value.name.assign(name);
    value.type = static_cast<DWORD>(stmt.Int(0));
    stmt.Blob(1, value.data);
    return ERROR_SUCCESS;
}

LONG Store::Impl::SetValue(KeyId key, std::string_view name, DWORD type,
                           std::span<const BYTE> data) {
    std::lock_guard lock(mutex_);
    return Write(Need::Create, key, ERROR_SUCCESS, [&]() -> LONG {
        std::string uname = UpperCase(name);
        Statement stmt = Run(kSetValue);
        int rc = stmt.Bind(1, key)
                     .Bind(2, name)
                     .Bind(3, uname)
                     .Bind(4, static_cast<int64_t>(type))
                     .BindBlob(5, data)
                     .Step();
        if (rc != SQLITE_DONE) return FromSqlite(rc);
        return sqlite3_changes(db_) == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
    });
}

LONG Store::Impl::DeleteValue(KeyId key, std::string_view name) {
    std::lock_guard lock(mutex_);
    return Write(Need::Write, key, ERROR_FILE_NOT_FOUND, [&]() -> LONG {
        std::string ignored;
        if (LONG error = KeyPath(key, ignored); error != ERROR_SUCCESS) return error;
        std::string uname = UpperCase(name);
        Statement stmt = Run(kDeleteValue);
        int rc = stmt.Bind(1, key).Bind(2, uname).Step();
        if (rc != SQLITE_DONE) return FromSqlite(rc);
        return sqlite3_changes(db_) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    });
}

// Windows 95 deletes a key with everything under it (NT refuses a key that has subkeys).
LONG Store::Impl::DeleteKey(KeyId parent, std::string_view path) {
    std::lock_guard lock(mutex_);
    std::string suffix = PathSuffix(path);
    if (suffix.empty() && IsRoot(parent)) {
        if (LONG error = Read(parent, ERROR_ACCESS_DENIED); error != ERROR_SUCCESS) return error;
        return ERROR_ACCESS_DENIED;
    }
    return Write(Need::Write, parent, ERROR_FILE_NOT_FOUND, [&]() -> LONG {
        std::string target;
        if (LONG error = KeyPath(parent, target); error != ERROR_SUCCESS) return error;
        target += suffix;
        Statement find = Run(kFindPath);
        int rc = find.Bind(1, target).Step();
        if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
        if (rc != SQLITE_ROW) return FromSqlite(rc);
        KeyId id = find.Int(0);
        std::string low = target + '\\', high = target + ']';
        for (Sql sql : {kDeleteSubtreeValues, kDeleteSubtree}) {
            Statement stmt = Run(sql);
            if (LONG error = FromSqlite(stmt.Bind(1, low).Bind(2, high).Step());
                error != ERROR_SUCCESS)
                return error;
        }
        for (Sql sql : {kDeleteKeyValues, kDeleteKey}) {
            Statement stmt = Run(sql);
            if (LONG error = FromSqlite(stmt.Bind(1, id).Step()); error != ERROR_SUCCESS)
                return error;
        }
        return ERROR_SUCCESS;
    });
}

LONG Store::Impl::EnumKey(KeyId key, DWORD index, std::string& name) {
    std::lock_guard lock(mutex_);
    if (LONG error = Read(key, ERROR_NO_MORE_ITEMS); error != ERROR_SUCCESS) return error;
    Statement stmt = Run(kEnumKey);
    int rc = stmt.Bind(1, key).Bind(2, static_cast<int64_t>(index)).Step();
    if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW) return FromSqlite(rc);
    if (stmt.IsNull(0)) return ERROR_NO_MORE_ITEMS;
    name = stmt.Text(0);
    return ERROR_SUCCESS;
}

LONG Store::Impl::EnumValue(KeyId key, DWORD index, Value& value) {
    std::lock_guard lock(mutex_);
    if (LONG error = Read(key, ERROR_NO_MORE_ITEMS); error != ERROR_SUCCESS) return error;
    Statement stmt = Run(kEnumValue);
    int rc = stmt.Bind(1, key).Bind(2, static_cast<int64_t>(index)).Step();
    if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW) return FromSqlite(rc);
    if (stmt.IsNull(0)) return ERROR_NO_MORE_ITEMS;
    value.name = stmt.Text(0);
    value.type = static_cast<DWORD>(stmt.Int(1));
    stmt.Blob(2, value.data);
    return ERROR_SUCCESS;
}

// The mutex is held for the whole of `body`: the other threads of the process share the one
// connection and would otherwise run their calls inside this transaction. The write lock is
// taken when the transaction begins, or at the first write when there is no registry.db yet
// (so a body that only reads creates no file).
LONG Store::Impl::Transaction(const std::function<LONG()>& body) {
    std::lock_guard lock(mutex_);
    if (depth_ > 0) {
        // Joins the transaction around it; a failure undoes what this body did. When nothing
        // was written before it, the transaction holds this body's writes only.
        bool open = transactionOpen_ && db_;
        if (open) {
            if (LONG error = Exec(kSavepoint); error != ERROR_SUCCESS) return error;
        }
        auto finish = [&](bool ok) {
            if (open) {
                if (!ok) sqlite3_exec(db_, "ROLLBACK TO call", nullptr, nullptr, nullptr);
                sqlite3_exec(db_, "RELEASE call", nullptr, nullptr, nullptr);
            } else if (!ok && transactionOpen_) {
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
                transactionOpen_ = false;
            }
        };
        LONG result;
        try {
            result = body();
        } catch (...) {
            finish(false);
            throw;
        }
        finish(result == ERROR_SUCCESS);
        return result;
    }
    if (LONG error = Ensure(Need::Write); error != ERROR_SUCCESS) return error;
    if (db_ && state_ == DbState::Ours) {
        if (LONG error = Exec(kBegin); error != ERROR_SUCCESS) return error;
        transactionOpen_ = true;
    }
    depth_ = 1;
    struct Reset {
        Impl& self;
        ~Reset() {
            // Not through Exec: a destructor must not throw.
            if (self.transactionOpen_ && self.db_ && !sqlite3_get_autocommit(self.db_))
                sqlite3_exec(self.db_, "ROLLBACK", nullptr, nullptr, nullptr);
            self.depth_ = 0;
            self.transactionOpen_ = false;
        }
    } reset{*this};
    LONG result = body();
    if (transactionOpen_) {
        if (result == ERROR_SUCCESS) result = Exec(kCommit);
        if (result != ERROR_SUCCESS && !sqlite3_get_autocommit(db_)) Exec(kRollback);
        transactionOpen_ = false;
    }
    return result;
}

LONG Store::Impl::Check(std::string& problem) {
    std::lock_guard lock(mutex_);
    LONG error = Ensure(Need::Write);
    problem = error == ERROR_BADDB ? problem_ : std::string();
    return error;
}

// ---- The public surface --------------------------------------------------------------------

namespace {
// No exception leaves the store: the Win32 surface above it returns codes only.
template <class F> LONG Guard(F f) noexcept {
    try {
        return f();
    } catch (const SqliteError& error) {
        return FromSqlite(error.rc);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_REGISTRY_IO_FAILED;
    }
}
} // namespace

Store::Store() : impl_(std::make_unique<Impl>()) {}
Store::~Store() = default;

Store& Store::Instance() {
    // Never destroyed: threads of a module may still call in while the process exits.
    static Store* store = new Store();
    return *store;
}

KeyId Store::RootId(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return kLocalMachine;
    if (root == HKEY_CURRENT_USER) return kCurrentUser;
    if (root == HKEY_DYN_DATA) return kDynData;
    return 0;
}

LONG Store::Open(KeyId parent, std::string_view path, KeyId& key) {
    return Guard([&] { return impl_->Open(parent, path, key); });
}
LONG Store::Create(KeyId parent, std::string_view path, KeyId& key, bool& created) {
    return Guard([&] { return impl_->Create(parent, path, key, created); });
}
LONG Store::QueryValue(KeyId key, std::string_view name, Value& value) {
    return Guard([&] { return impl_->QueryValue(key, name, value); });
}
LONG Store::SetValue(KeyId key, std::string_view name, DWORD type, std::span<const BYTE> data) {
    return Guard([&] { return impl_->SetValue(key, name, type, data); });
}
LONG Store::DeleteValue(KeyId key, std::string_view name) {
    return Guard([&] { return impl_->DeleteValue(key, name); });
}
LONG Store::DeleteKey(KeyId parent, std::string_view path) {
    return Guard([&] { return impl_->DeleteKey(parent, path); });
}
LONG Store::EnumKey(KeyId key, DWORD index, std::string& name) {
    return Guard([&] { return impl_->EnumKey(key, index, name); });
}
LONG Store::EnumValue(KeyId key, DWORD index, Value& value) {
    return Guard([&] { return impl_->EnumValue(key, index, value); });
}
LONG Store::Transaction(const std::function<LONG()>& body) {
    return Guard([&] { return impl_->Transaction(body); });
}
LONG Store::Check(std::string& problem) {
    return Guard([&] { return impl_->Check(problem); });
}

} // namespace platform::registry
