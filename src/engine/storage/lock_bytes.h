// Which bytes of which file carry which advisory byte-range lock. No lock covers data: ours lie
// past 2 GiB, the largest file the formats allow; Access's lie past the end of its lock file and,
// on a database, in a region it reserves for them. Locks are taken and tested through PageFile.
//
// Corvanta's locks, on the database file (the transaction protocol of pager.h):
//   offset       length  lock
//   0x80000000   1       writer: exclusive, held by the one open database that may change the
//                        file, from open to close
//   0x80000001   1       pending: exclusive while a writer waits for readers to let go before
//                        it overwrites pages in use; a reader takes it shared for a moment on its
//                        way to the shared lock, so that new readers cannot starve the writer
//   0x80000002   1       shared: shared by every reader from open to close; exclusive by a
//                        writer from before a commit's first write to a page in use until its
//                        journal is gone (kept after a rollback that failed, until close)
//
// Access's (the Jet and ACE engines') locks, which Corvanta looks for before it writes and
// imitates on the lock file it keeps while it writes. Sources: "Understanding Microsoft Jet
// Locking" (Microsoft, 1996-97, Jet 2.x to 3.5) and the Jet Database Engine Programmer's Guide,
// chapter 6. (S) stated there for Jet 3.x; (?) not verified for Jet 4 and ACE.
//   file       offset          length  meaning
//   lock file  0x10000001 + n  1       user lock of the user in slot n (0-254), held while that
//                                      user has the database open; the user's 64-byte entry
//                                      (computer name 32, security account name 32, each
//                                      NUL-padded) lies at n * 64 of the lock file (S; the
//                                      sources' own example, 0x10000040 at 4096, does not fit
//                                      this rule, so the entry's place is (?))
//   database   0x10000000 ..   ...     Jet's extended locks, past the file's data: user locks
//              0x7FFFFFFF              (0x1xxxxxxx), page write and read locks (0x2xxxxxxx),
//                                      commit locks (0x3xxxxxxx, Jet 2.x), table read and write
//                                      locks (0x4xxxxxxx, 0x5xxxxxxx ...) (S for Jet 3.x; on
//                                      which of the two files each lies, and whether Jet 4 and
//                                      ACE keep these ranges, (?))
// Over SMB these are Windows byte-range locks; Samba shows a Windows client's locks to local
// programs as POSIX locks and the Linux SMB client sends ours to the server (?).
#pragma once

#include <cstdint>

namespace engine::storage::lock_bytes {

inline constexpr uint64_t kWriter = 0x80000000;
inline constexpr uint64_t kPending = 0x80000001;
inline constexpr uint64_t kShared = 0x80000002;

// Access's user locks on its lock file, one per slot.
inline constexpr uint64_t kAccessUserLocks = 0x10000000;
inline constexpr uint64_t kAccessUserLockCount = 256;
inline constexpr uint64_t kAccessLockFileEntrySize = 64;
// Where Access may hold locks on a database file.
inline constexpr uint64_t kAccessDatabaseLocks = 0x10000000;
inline constexpr uint64_t kAccessDatabaseLocksLength = kWriter - kAccessDatabaseLocks;

}  // namespace engine::storage::lock_bytes
