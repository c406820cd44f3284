// The entry writer: header, name, packed chunks and checksum of every entry.
//
// The calling thread reads the files ahead of the writing and hands their
// chunks to worker threads that pack them; it writes the results strictly in
// container order, so the output and the progress reports do not depend on
// how many workers there are. The steps below are the entries' records in
// that order; reading ahead stops at about two chunks of data per worker, and
// with one thread there are no workers and no reading ahead at all.
#include "builder/engine/entry_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

#include "builder/engine/build_errors.h"
#include "builder/engine/cancel.h"
#include "builder/engine/pack_chunk.h"
#include "builder/resources/texts.h"
#include "platform/filesystem.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "shared/container.h"

namespace ql {

namespace {

// Records are gathered up to this size before they go to the target.
constexpr size_t kTargetBufferSize = 1 << 20;
// Small chunks go to the workers together, up to this much data at a time,
// so that a tree of many small files does not cost a hand-over per file.
constexpr size_t kBatchSize = 1 << 20;
// Records read ahead, whatever their data: a tree of very many empty files
// is read no further ahead than this.
constexpr size_t kMaxSteps = 1 << 16;

// Bytes of a known size, not cleared first as a vector would be.
struct Bytes {
    std::unique_ptr<uint8_t[]> data;
    size_t capacity = 0;
    size_t size = 0;

    explicit Bytes(size_t room = 0) : data(room ? new uint8_t[room] : nullptr), capacity(room) {}
};

// Chunks that one worker packs in one go: their data back to back in `input`,
// their zlib streams back to back in `output`.
struct PackJob {
    struct Piece {
        size_t offset;  // in input
        uint32_t length;
        size_t packedOffset;  // in output
        uint32_t packedLength;
        uint32_t sum;  // ByteSum of the piece's data
    };

    explicit PackJob(size_t room) : input(room) {}

    Bytes input, output;
    std::vector<Piece> pieces;
    size_t unwritten = 0;  // pieces the writer has still to write
    bool failed = false;   // the packer failed
    bool done = false;     // packed; guarded by the pipeline's mutex
};

// One record of the output, in container order.
struct Step {
    enum class Kind { Show, Folder, Header, Chunk, Checksum, Failure };
    Kind kind;
    size_t entry;                       // index in run.items, or kHelper
    std::shared_ptr<PackJob> job = {};  // Chunk
    size_t piece = 0;                   // Chunk: which piece of the job
    int error = 0;                      // Failure: the I/O error code
};

constexpr size_t kHelper = static_cast<size_t>(-1);

void WriteDirect(BuildRun& run, const void* data, size_t length) {
    size_t written = 0;
    int error = run.target.Write(data, length, written);
    if (error != 0) RaiseIoError(error, run.options.Target);
    if (written != length) RaiseIoError(kIoDiskFull, run.options.Target);
}

// The checksum that ends every entry.
void WriteChecksum(BuildRun& run, uint32_t sum) {
    uint8_t bytes[kChecksumSize];
    WriteLE32(bytes, sum);
    WriteToTarget(run, bytes, sizeof bytes);
}

class EntryPipeline {
public:
    explicit EntryPipeline(BuildRun& run);
    ~EntryPipeline();

    void Run();

private:
    // The reading side, on the calling thread.
    void Read();
    void ReadChunk(uint32_t length);
    void NextEntry();
    void Submit(std::shared_ptr<PackJob> job);
    void Push(Step::Kind kind, int error = 0) { steps_.push_back(Step{kind, entry_, nullptr, 0, error}); }

    // The workers.
    void Work(ChunkPacker& packer);
    void Pack(PackJob& job, ChunkPacker& packer) const;

    // The writing side, on the calling thread. False when a cancel ends the writing.
    bool Write(const Step& step);
    void WriteHeader(const EntryHeader& header, const std::string& name);
    void WriteChunk(const Step& step);
    void FinishEntry();
    void WaitFor(PackJob& job);

    const SourceItem& Item(size_t entry) const { return run_.items[entry]; }
    std::string FullPath(size_t entry) const { return run_.options.Source + Item(entry).nativeName; }
    int32_t EntrySize(size_t entry) const {
        return entry == kHelper ? static_cast<int32_t>(run_.env.helperImage.size()) : Item(entry).Size;
    }

    BuildRun& run_;
    ProgressSink* progress_;
    std::deque<Step> steps_;

    // Reading.
    enum class Stage { Start, Open, Chunks } stage_ = Stage::Start;
    size_t entry_;              // the entry being read
    bool readingDone_ = false;  // every entry read, or reading stopped
    platform::File source_;
    int32_t read_ = 0;  // bytes of the entry read so far
    std::shared_ptr<PackJob> batch_;
    size_t inFlight_ = 0;  // bytes read and not yet written
    size_t readAhead_;     // how far reading may run ahead; 0 without workers

    // Packing.
    std::unique_ptr<ChunkPacker> ownPacker_;  // without workers
    std::vector<std::unique_ptr<ChunkPacker>> packers_;
    std::vector<std::unique_ptr<platform::Thread>> workers_;
    platform::Mutex mutex_;
    platform::Condition workReady_, jobDone_;
    std::deque<std::shared_ptr<PackJob>> queue_;
    bool stopping_ = false;

    // Writing.
    size_t writing_ = 0;      // the entry being written
    bool entryOpen_ = false;  // its header written, its checksum not yet
    int32_t written_ = 0;     // bytes of the entry written so far
    uint32_t checksum_ = 0;
};

EntryPipeline::EntryPipeline(BuildRun& run)
    : run_(run), progress_(run.env.progress), entry_(run.options.SelfDeleteMode ? kHelper : 0) {
    unsigned threads = run.env.packingThreads ? run.env.packingThreads : platform::ProcessorCount();
    if (threads > 1 && run.options.Compression) {
        for (unsigned i = 0; i < threads; ++i) {
            packers_.push_back(std::make_unique<ChunkPacker>(run.env.compressionLevel));
            auto worker = std::make_unique<platform::Thread>();
            if (!worker->Start([this, packer = packers_.back().get()] { Work(*packer); })) break;
            workers_.push_back(std::move(worker));
        }
    }
    if (workers_.empty()) ownPacker_ = std::make_unique<ChunkPacker>(run.env.compressionLevel);
    readAhead_ = 2 * workers_.size() * kChunkSize;
    readingDone_ = entry_ != kHelper && run.items.empty();
}

EntryPipeline::~EntryPipeline() {
    {
        platform::LockGuard lock(mutex_);
        stopping_ = true;
    }
    workReady_.NotifyAll();
    workers_.clear();  // joins
}

void EntryPipeline::Run() {
    for (;;) {
        // Without workers one record is read when the last one is written,
        // exactly as a build without reading ahead goes.
        while (!readingDone_ && (steps_.empty() || (inFlight_ < readAhead_ && steps_.size() < kMaxSteps)))
            Read();
        if (steps_.empty()) break;
        const Step step = std::move(steps_.front());
        steps_.pop_front();
        if (!Write(step)) return;
    }
    if (entryOpen_) FinishEntry();  // reading stopped inside a file for a cancel
}

// --- reading ---------------------------------------------------------------

void EntryPipeline::NextEntry() {
    stage_ = Stage::Start;
    entry_ = entry_ == kHelper ? 0 : entry_ + 1;
    readingDone_ = entry_ >= run_.items.size();
}

void EntryPipeline::Read() {
    const bool helper = entry_ == kHelper;
    if (stage_ == Stage::Start) {
        if (helper) {
            Push(Step::Kind::Header);
            stage_ = Stage::Chunks;
            read_ = 0;
            return;
        }
        if (Item(entry_).Attributes & kAttrDirectory) {
            Push(Step::Kind::Folder);
            NextEntry();
            return;
        }
        if (Item(entry_).isTarget) {
            NextEntry();  // an SFX file never contains itself
            return;
        }
        if (CancelRequested) {
            readingDone_ = true;
            return;
        }
        Push(Step::Kind::Show);
        stage_ = Stage::Open;
        return;
    }
    if (stage_ == Stage::Open) {
        if (int error = source_.OpenRead(FullPath(entry_))) {
            Push(Step::Kind::Failure, error);
            readingDone_ = true;
            return;
        }
        Push(Step::Kind::Header);
        stage_ = Stage::Chunks;
        read_ = 0;
        return;
    }
    const int32_t size = EntrySize(entry_);
    if (read_ >= size) {
        if (int error = source_.Close()) {
            Push(Step::Kind::Failure, error);
            readingDone_ = true;
            return;
        }
        Push(Step::Kind::Checksum);
        NextEntry();
        return;
    }
    if (!helper && CancelRequested) {  // the helper's entry is written whatever the flag says
        source_.Close();
        readingDone_ = true;
        return;
    }
    ReadChunk(static_cast<uint32_t>(std::min<int64_t>(size - read_, kChunkSize)));
}

void EntryPipeline::ReadChunk(uint32_t length) {
    std::shared_ptr<PackJob> job;
    if (length >= kBatchSize) {
        job = std::make_shared<PackJob>(length);
    } else {
        if (batch_ && batch_->input.capacity - batch_->input.size < length) Submit(batch_);
        if (!batch_) batch_ = std::make_shared<PackJob>(kBatchSize);
        job = batch_;
    }
    uint8_t* room = job->input.data.get() + job->input.size;
    if (entry_ == kHelper) {
        std::memcpy(room, run_.env.helperImage.data() + read_, length);
    } else {
        size_t got = 0;
        int error = source_.Read(room, length, got);
        if (error == 0 && got != length) error = kIoReadPastEnd;
        if (error != 0) {
            Push(Step::Kind::Failure, error);
            readingDone_ = true;
            return;
        }
    }
    job->pieces.push_back(PackJob::Piece{job->input.size, length, 0, 0, 0});
    job->input.size += length;
    inFlight_ += length;
    read_ += static_cast<int32_t>(length);
    steps_.push_back(Step{Step::Kind::Chunk, entry_, job, job->pieces.size() - 1});
    if (job != batch_) Submit(job);
}

void EntryPipeline::Submit(std::shared_ptr<PackJob> job) {
    if (job == batch_) batch_.reset();
    job->unwritten = job->pieces.size();
    // The room for the packed data is taken here, on the thread that frees
    // it again: memory freed where it was taken is reused for the next
    // chunks, instead of piling up in each worker's own heap.
    size_t room = 0;
    for (const auto& piece : job->pieces) room += ChunkPacker::Bound(piece.length);
    if (run_.options.Compression) job->output = Bytes(room);
    if (workers_.empty()) {
        Pack(*job, *ownPacker_);
        job->done = true;
        return;
    }
    {
        platform::LockGuard lock(mutex_);
        queue_.push_back(job);
    }
    workReady_.NotifyAll();
}

// --- packing -----------------------------------------------------------------

void EntryPipeline::Work(ChunkPacker& packer) {
    for (;;) {
        std::shared_ptr<PackJob> job;
        {
            platform::LockGuard lock(mutex_);
            while (queue_.empty() && !stopping_) workReady_.Wait(mutex_);
            if (stopping_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        Pack(*job, packer);
        {
            platform::LockGuard lock(mutex_);
            job->done = true;
        }
        jobDone_.NotifyAll();
    }
}

void EntryPipeline::Pack(PackJob& job, ChunkPacker& packer) const {
    for (auto& piece : job.pieces) {
        const uint8_t* data = job.input.data.get() + piece.offset;
        piece.sum = ByteSum(data, piece.length);
        if (!run_.options.Compression) continue;
        piece.packedOffset = job.output.size;
        try {
            piece.packedLength = static_cast<uint32_t>(
                packer.Pack(data, piece.length, job.output.data.get() + job.output.size));
        } catch (const BuildError&) {
            job.failed = true;
            return;
        }
        job.output.size += piece.packedLength;
    }
}

// --- writing -------------------------------------------------------------------

bool EntryPipeline::Write(const Step& step) {
    const bool helper = step.entry == kHelper;
    switch (step.kind) {
        case Step::Kind::Folder: {
            if (CancelRequested) return false;
            const SourceItem& item = Item(step.entry);
            const std::string& name = item.storedName;
            WriteHeader(EntryHeader{kEntryOrdinary, static_cast<int32_t>(name.size()), 0, item.FileTime,
                                    item.Attributes},
                        name);
            WriteChecksum(run_, ByteSum(name.data(), name.size()));
            return true;
        }
        case Step::Kind::Show:
            if (CancelRequested) return false;
            if (progress_) {
                progress_->ShowSource(FullPath(step.entry));
                progress_->ProcessMessages();
            }
            return true;
        case Step::Kind::Failure:
            RaiseIoError(step.error, FullPath(step.entry));
        case Step::Kind::Header: {
            const std::string name = helper ? std::string(kHelperEntryName) : Item(step.entry).storedName;
            EntryHeader header{kEntryHelper, kHelperEntryNameLength, EntrySize(step.entry), 0, 0};
            if (!helper) {
                const SourceItem& item = Item(step.entry);
                const bool program = run_.options.ExtractionMode == kExtractAndRun &&
                                     platform::PathsEqual(FullPath(step.entry), run_.options.ExecutableFile);
                header =
                    EntryHeader{program ? kEntryProgram : kEntryOrdinary, static_cast<int32_t>(name.size()),
                                item.Size, item.FileTime, item.Attributes};
            }
            WriteHeader(header, name);
            checksum_ = ByteSum(name.data(), name.size());
            written_ = 0;
            writing_ = step.entry;
            entryOpen_ = true;
            return true;
        }
        case Step::Kind::Chunk:
            if (!helper && CancelRequested) {  // the file's entry ends here, cut short
                FinishEntry();
                return false;
            }
            WriteChunk(step);
            return true;
        case Step::Kind::Checksum:
            FinishEntry();
            return true;
    }
    return true;
}

void EntryPipeline::WriteHeader(const EntryHeader& header, const std::string& name) {
    uint8_t bytes[kEntryHeaderSize];
    EncodeEntryHeader(header, bytes);
    WriteToTarget(run_, bytes, sizeof bytes);
    WriteToTarget(run_, name.data(), name.size());
}

void EntryPipeline::WaitFor(PackJob& job) {
    platform::LockGuard lock(mutex_);
    while (!job.done) jobDone_.Wait(mutex_);
}

void EntryPipeline::WriteChunk(const Step& step) {
    PackJob& job = *step.job;
    if (step.job == batch_) Submit(batch_);  // small chunks wait for company until they are needed
    WaitFor(job);
    if (job.failed) throw BuildError(Tr(TextId::PackingFailed));
    const PackJob::Piece& piece = job.pieces[step.piece];
    if (run_.options.Compression) {
        if (piece.packedLength > kMaxPackedChunk) throw BuildError(platform::SystemMessage(8), 8);
        uint8_t header[kChunkHeaderSize];
        EncodeChunkHeader(ChunkHeader{piece.length, piece.packedLength}, header);
        WriteToTarget(run_, header, sizeof header);
        WriteToTarget(run_, job.output.data.get() + piece.packedOffset, piece.packedLength);
    } else {
        WriteToTarget(run_, job.input.data.get() + piece.offset, piece.length);
    }
    if (progress_ && step.entry != kHelper)
        progress_->ReportProgress(written_, EntrySize(step.entry), run_.doneSize, run_.totalSize);
    checksum_ += piece.sum;  // sums of bytes add up piece by piece
    written_ += static_cast<int32_t>(piece.length);
    inFlight_ -= piece.length;
    if (--job.unwritten == 0)
        job.input = Bytes(), job.output = Bytes();  // the steps still hold the job; its memory goes now
}

void EntryPipeline::FinishEntry() {
    WriteChecksum(run_, checksum_);
    entryOpen_ = false;
    if (writing_ == kHelper) return;  // the helper makes no report and adds nothing to the done size
    const int32_t size = EntrySize(writing_);
    if (progress_) progress_->ReportProgress(size, size, run_.doneSize, run_.totalSize);
    run_.doneSize += size;
}

}  // namespace

void WriteToTarget(BuildRun& run, const void* data, size_t length) {
    if (run.hashing) run.contentHash = ContentHash(run.contentHash, data, length);
    if (run.pending.size() + length <= kTargetBufferSize) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        run.pending.insert(run.pending.end(), bytes, bytes + length);
        return;
    }
    FlushTarget(run);
    if (length < kTargetBufferSize) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        run.pending.assign(bytes, bytes + length);
    } else {
        WriteDirect(run, data, length);
    }
}

void FlushTarget(BuildRun& run) {
    if (run.pending.empty()) return;
    WriteDirect(run, run.pending.data(), run.pending.size());
    run.pending.clear();
}

void WriteEntries(BuildRun& run) { EntryPipeline(run).Run(); }

}  // namespace ql
