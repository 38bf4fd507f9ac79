// A SQLite file system over the real one that fails on request, as a full or failing disk does,
// so the history's failure handling can be tried without filling a disk. Registered under its own
// name; a store or reader given that name uses it, everything else is untouched.
#pragma once

#include <cstring>
#include <sqlite3.h>
#include <string>

namespace quorlan::testing {

class FaultVfs final {
public:
    // The code every write (and sync) returns while set: SQLITE_FULL, SQLITE_IOERR_WRITE; 0 for none.
    int failWrites = 0;

    explicit FaultVfs(const char* name) {
        sqlite3_initialize();
        m_real = sqlite3_vfs_find(nullptr);
        m_vfs = *m_real;
        m_vfs.zName = name;
        m_vfs.szOsFile = static_cast<int>(sizeof(File)) + m_real->szOsFile;
        m_vfs.pAppData = this;
        m_vfs.xOpen = &open;
        m_vfs.pNext = nullptr;
        sqlite3_vfs_register(&m_vfs, 0);
    }
    ~FaultVfs() { sqlite3_vfs_unregister(&m_vfs); }
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    const char* name() const { return m_vfs.zName; }

private:
    struct File {
        sqlite3_file base;
        FaultVfs* owner;
        sqlite3_file* real; // lives in the same block, after this struct
    };

    static sqlite3_file* real(sqlite3_file* file) { return reinterpret_cast<File*>(file)->real; }
    static int failure(sqlite3_file* file) { return reinterpret_cast<File*>(file)->owner->failWrites; }

    static int open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
        auto* self = static_cast<FaultVfs*>(vfs->pAppData);
        auto* wrapper = reinterpret_cast<File*>(file);
        wrapper->owner = self;
        wrapper->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(wrapper) + sizeof(File));
        wrapper->base.pMethods = nullptr;
        const int code = self->m_real->xOpen(self->m_real, name, wrapper->real, flags, outFlags);
        if (wrapper->real->pMethods != nullptr) {
            wrapper->base.pMethods = &kMethods;
        }
        return code;
    }

    static int close(sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); }
    static int read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
        return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
    }
    static int write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
        return failure(f) != 0 ? failure(f) : real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
    }
    static int truncate(sqlite3_file* f, sqlite3_int64 size) {
        return failure(f) != 0 ? failure(f) : real(f)->pMethods->xTruncate(real(f), size);
    }
    static int sync(sqlite3_file* f, int flags) {
        return failure(f) != 0 ? SQLITE_IOERR_FSYNC : real(f)->pMethods->xSync(real(f), flags);
    }
    static int fileSize(sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); }
    static int lock(sqlite3_file* f, int level) { return real(f)->pMethods->xLock(real(f), level); }
    static int unlock(sqlite3_file* f, int level) { return real(f)->pMethods->xUnlock(real(f), level); }
    static int checkReservedLock(sqlite3_file* f, int* out) {
        return real(f)->pMethods->xCheckReservedLock(real(f), out);
    }
    static int fileControl(sqlite3_file* f, int op, void* arg) {
        return real(f)->pMethods->xFileControl(real(f), op, arg);
    }
    static int sectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
    static int deviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
    static int shmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
        return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
    }
    static int shmLock(sqlite3_file* f, int offset, int n, int flags) {
        return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
    }
    static void shmBarrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
    static int shmUnmap(sqlite3_file* f, int deleteFlag) { return real(f)->pMethods->xShmUnmap(real(f), deleteFlag); }
    static int fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
        return real(f)->pMethods->xFetch(real(f), offset, amount, out);
    }
    static int unfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
        return real(f)->pMethods->xUnfetch(real(f), offset, p);
    }

    static constexpr sqlite3_io_methods kMethods = {
        3,
        &close,
        &read,
        &write,
        &truncate,
        &sync,
        &fileSize,
        &lock,
        &unlock,
        &checkReservedLock,
        &fileControl,
        &sectorSize,
        &deviceCharacteristics,
        &shmMap,
        &shmLock,
        &shmBarrier,
        &shmUnmap,
        &fetch,
        &unfetch,
    };

    sqlite3_vfs* m_real;
    sqlite3_vfs m_vfs;
};

} // namespace quorlan::testing
