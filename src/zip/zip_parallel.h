// Packing with several compressing threads: different files, and the pieces
// of a large file, are deflated at the same time while the calling thread
// writes the archive in the order of selection, so the archive is byte for
// byte the one a single thread writes. Pure code: the files and the threads
// come through two small interfaces.
#pragma once

#include "zip/zip_archive.h"

#include <cstddef>
#include <memory>

namespace vantrel {

// The files selected for packing, in order. Open may be called from several
// threads at once.
class TMemberSource {
public:
    virtual ~TMemberSource() = default;
    virtual std::size_t Count() const = 0;
    // Opens file `index` and describes it in `member`; null when the file
    // vanished or cannot be opened (it is passed over).
    virtual std::unique_ptr<TPieceReader> Open(std::size_t index, TMemberInfo& member) = 0;
};

// What the packer's threads meet on: one lock, and for each party (0 the
// calling thread, 1 and up the compressing threads) a wake-up signal that
// stays set until its party sleeps on it.
class TPackerSync {
public:
    virtual ~TPackerSync() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // With the lock held: releases it, sleeps until the signal of `party` is
    // set, clears it, and takes the lock again.
    virtual void Sleep(unsigned party) = 0;
    // With the lock held: sets the signal of `party`; a party that does not
    // run ignores it.
    virtual void Wake(unsigned party) = 0;
    // Starts up to `count` threads, thread i running body(context, i) as
    // party i (1 to count); returns how many started. Called once.
    virtual unsigned Start(unsigned count, void (*body)(void* context, unsigned party), void* context) = 0;
    // Waits until every started thread has ended.
    virtual void Join() = 0;
};

// Packs every file of `members` in order into `builder`, one at a time. A
// file that vanished or cannot be opened is passed over, and so is one whose
// reader raises EMemberUnreadable, its entry taken back.
void PackSequentially(TMemberSource& members, TArchiveBuilder& builder);

// Packs every file of `members` in order into `builder` with `threads`
// compressing threads started through `sync` (packing on the calling thread
// when none starts). Compressed output waiting for the writer is held in
// memory up to `budget` bytes, and up to a quarter of that more for the file
// being written; a large file being written holds at most budget / 1 MiB of
// its pieces (at least two, at most two per thread). A thread that would
// exceed these waits. Failures of any file pass on as packing one file at a
// time would raise them, and a file passed over there is passed over here.
void PackInParallel(TMemberSource& members, TArchiveBuilder& builder, unsigned threads, std::size_t budget,
                    TPackerSync& sync);

}  // namespace vantrel
