// The entry writer: header, name, packed chunks and checksum of every entry.
//
// The calling thread plans the entries' records in container order and hands
// their chunks, in that order, to worker threads, which open and read the
// files, sum and pack the chunks; the calling thread writes the results
// strictly in container order, so the output and the progress reports do not
// depend on how many workers there are. There are twice as many workers as
// packing threads, which take turns with the packers: so the cost of opening
// many small files, which is mostly waiting (for the system, and under Wine
// for its server), overlaps with packing and with itself.
//
// The workers read and pack into a fixed number of buffer sets, taken for a
// job and given back once it is written: memory is taken once per set rather
// than for every chunk. Planning runs as far ahead as the sets can hold.
// With one thread there are no workers: a job is read and packed by the
// calling thread when its first record is written, and nothing is planned
// ahead, as a build without reading ahead goes.
#include "builder/engine/entry_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>

#include "builder/engine/build_errors.h"
#include "builder/engine/byte_sum.h"
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
// Small chunks go to the workers together, up to this much data or this many
// files at a time, so that a tree of many small files does not cost a
// hand-over per file.
constexpr size_t kBatchSize = 1 << 20;
constexpr size_t kMaxBatchPieces = 1024;
// Records planned ahead, whatever their data: a tree of very many empty
// files is planned no further ahead than this.
constexpr size_t kMaxSteps = 1 << 16;
constexpr unsigned kWorkersPerPacker = 2;

constexpr size_t kHelper = static_cast<size_t>(-1);

// Bytes of a known size, not cleared first as a vector would be.
struct Bytes {
    std::unique_ptr<uint8_t[]> data;
    size_t capacity = 0;

    // Room for at least `length` bytes, never none; the content is not kept.
    // Rounded up, so that a set of buffers settles after a few jobs.
    void Reserve(size_t length) {
        if (data && capacity >= length) return;
        capacity = std::max<size_t>(1, (length + kBatchSize - 1) / kBatchSize) * kBatchSize;
        data.reset(new uint8_t[capacity]);
    }
};

// What a job reads and packs into. Taken when a job needs it, so that trees
// of small files, and many threads, do not reserve whole chunks.
struct Buffers {
    Bytes input, output;
};

// A file whose chunks the workers read one after the other, or the helper
// image in memory (no path).
struct Source {
    std::string path;
    platform::File file;    // closed on the way out when a read stops early
    size_t piecesRead = 0;  // guarded by the pipeline's mutex
    bool failed = false;    // so is this: a piece failed, the later ones are not read
};

// One chunk of one entry; a file of size 0 has one piece of no data, which
// opens and closes it.
struct Piece {
    std::shared_ptr<Source> source;
    size_t index;     // which piece of its entry
    uint64_t offset;  // in the entry
    uint32_t length;
    bool opens, closes;                        // the entry's first and last piece
    size_t inputOffset = 0, packedOffset = 0;  // in the job's buffers
    uint32_t packedLength = 0;
    uint32_t sum = 0;     // ByteSum of the piece's data
    bool loaded = false;  // its data was read
    int openError = 0, readError = 0, closeError = 0;
};

// Pieces that one worker reads and packs in one go, back to back in its buffers.
struct PackJob {
    std::vector<Piece> pieces;
    size_t inputSize = 0;   // bytes of data of all pieces
    size_t outputRoom = 0;  // room their packing may need
    size_t dataPieces = 0;  // pieces with data, each written as a chunk
    Buffers* buffers = nullptr;
    size_t unwritten = 0;      // data pieces the writer has still to write
    bool submitted = false;    // handed to the workers, or to be read by the writer
    bool failed = false;       // the packer failed
    bool outOfMemory = false;  // its buffers could not be had
    bool done = false;         // read and packed; guarded by the pipeline's mutex
};

// One record of the output, in container order.
struct Step {
    enum class Kind { Show, Folder, Header, Chunk, Checksum };
    Kind kind;
    size_t entry;                       // index in run.items, or kHelper
    std::shared_ptr<PackJob> job = {};  // Header and Checksum of a file, Chunk: the piece's job
    size_t piece = 0;                   // which piece of the job

    const Piece& ThePiece() const { return job->pieces[piece]; }
};

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
    // Planning, on the calling thread.
    void Plan();
    void PlanPiece();
    void NextEntry();
    void Submit(std::shared_ptr<PackJob> job);  // by value: it may be batch_, which it resets
    void Push(Step::Kind kind, std::shared_ptr<PackJob> job = nullptr, size_t piece = 0) {
        steps_.push_back(Step{kind, entry_, std::move(job), piece});
    }

    // Reading and packing, on the workers (or on the calling thread without them).
    void Work();
    void Execute(PackJob& job);
    bool Load(Piece& piece, uint8_t* room);
    void Pack(PackJob& job);
    void Release(PackJob& job);

    // Writing, on the calling thread. False when a cancel ends the writing.
    bool Write(const Step& step);
    void WriteHeader(uint8_t kind, const SourceItem& item);
    void WriteChunk(const Step& step);
    void FinishEntry();
    void WaitFor(const std::shared_ptr<PackJob>& job);

    const SourceItem& Item(size_t entry) const { return entry == kHelper ? helperItem_ : run_.items[entry]; }
    std::string FullPath(size_t entry) const { return run_.sourceTree + Item(entry).nativeName; }
    uint64_t EntrySize(size_t entry) const { return Item(entry).Size; }

    BuildRun& run_;
    ProgressSink* progress_;
    SourceItem helperItem_;  // the self-delete helper: its own name, no time, no attributes
    std::deque<Step> steps_;

    // Planning.
    enum class Stage { Start, Open, Pieces } stage_ = Stage::Start;
    size_t entry_;               // the entry being planned
    bool planningDone_ = false;  // every entry planned, or planning stopped
    std::shared_ptr<Source> source_;
    uint64_t planned_ = 0;              // bytes of the entry planned so far
    size_t pieceIndex_ = 0;             // pieces of the entry planned so far
    std::shared_ptr<PackJob> lastJob_;  // the job of the entry's last piece so far
    std::shared_ptr<PackJob> batch_;    // small pieces waiting for company
    size_t inFlight_ = 0;               // bytes planned and not yet written
    size_t planAhead_;                  // how far planning may run ahead; 0 without workers

    // Reading and packing.
    std::vector<std::unique_ptr<ChunkPacker>> packers_;  // one per packing thread
    std::vector<ChunkPacker*> freePackers_;
    std::vector<std::unique_ptr<platform::Thread>> workers_;
    std::vector<std::unique_ptr<Buffers>> buffers_;
    std::vector<Buffers*> freeBuffers_;
    platform::Mutex mutex_;
    platform::Condition workReady_, jobDone_, pieceRead_, packerFree_;
    std::deque<std::shared_ptr<PackJob>> queue_;
    bool stopping_ = false;

    // Writing.
    size_t writing_ = 0;      // the entry being written
    bool entryOpen_ = false;  // its header written, its checksum not yet
    uint64_t written_ = 0;    // bytes of the entry written so far
    uint32_t checksum_ = 0;
};

EntryPipeline::EntryPipeline(BuildRun& run)
    : run_(run), progress_(run.env.progress), entry_(run.options.SelfDeleteMode ? kHelper : 0) {
    helperItem_.storedName = kHelperEntryName;
    helperItem_.Size = run.env.helperImage.size();
    helperItem_.extended = run.options.PortableNames;
    unsigned threads = run.env.packingThreads ? run.env.packingThreads : platform::ProcessorCount();
    if (!run.options.Compression) threads = 1;
    for (unsigned i = 0; i < threads; ++i) {
        packers_.push_back(std::make_unique<ChunkPacker>(run.env.compressionLevel));
        freePackers_.push_back(packers_.back().get());
    }
    // Each worker holds a set while it reads and packs; one more per packer
    // lets finished jobs wait for the writer.
    const unsigned workers = threads > 1 ? kWorkersPerPacker * threads : 0;
    for (size_t i = 0; i < workers + threads; ++i) {
        buffers_.push_back(std::make_unique<Buffers>());  // empty until a job needs them
        freeBuffers_.push_back(buffers_.back().get());
    }
    // The workers start last: nothing that may fail comes after them.
    for (unsigned i = 0; i < workers; ++i) {
        auto worker = std::make_unique<platform::Thread>();
        if (!worker->Start([this] { Work(); })) break;
        workers_.push_back(std::move(worker));
    }
    planAhead_ = workers_.empty() ? 0 : buffers_.size() * kChunkSize;
    planningDone_ = entry_ != kHelper && run.items.empty();
}

EntryPipeline::~EntryPipeline() {
    {
        platform::LockGuard lock(mutex_);
        stopping_ = true;
    }
    workReady_.NotifyAll();
    pieceRead_.NotifyAll();
    packerFree_.NotifyAll();
    workers_.clear();  // joins
}

void EntryPipeline::Run() {
    for (;;) {
        while (!planningDone_ && (steps_.empty() || (inFlight_ < planAhead_ && steps_.size() < kMaxSteps)))
            Plan();
        if (steps_.empty()) break;
        const Step step = std::move(steps_.front());
        steps_.pop_front();
        if (!Write(step)) return;
    }
    if (entryOpen_) FinishEntry();  // planning stopped inside a file for a cancel
}

// --- planning ----------------------------------------------------------------

void EntryPipeline::NextEntry() {
    stage_ = Stage::Start;
    entry_ = entry_ == kHelper ? 0 : entry_ + 1;
    planningDone_ = entry_ >= run_.items.size();
}

void EntryPipeline::Plan() {
    const bool helper = entry_ == kHelper;
    if (stage_ == Stage::Start) {
        if (helper) {
            Push(Step::Kind::Header);
            stage_ = Stage::Open;
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
            planningDone_ = true;
            return;
        }
        Push(Step::Kind::Show);
        stage_ = Stage::Open;
        return;
    }
    if (stage_ == Stage::Open) {
        source_ = std::make_shared<Source>();
        if (!helper) source_->path = FullPath(entry_);
        planned_ = 0;
        pieceIndex_ = 0;
        PlanPiece();
        stage_ = Stage::Pieces;
        return;
    }
    if (planned_ >= EntrySize(entry_)) {
        Push(Step::Kind::Checksum, lastJob_, lastJob_->pieces.size() - 1);
        lastJob_.reset();
        source_.reset();
        NextEntry();
        return;
    }
    if (!helper && CancelRequested) {  // the helper's entry is written whatever the flag says
        planningDone_ = true;
        return;
    }
    PlanPiece();
}

// The entry's next piece, in a job of its own or in the batch of small ones;
// the first piece also carries the entry's header.
void EntryPipeline::PlanPiece() {
    const uint64_t size = EntrySize(entry_);
    const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(size - planned_, kChunkSize));
    const size_t room = length ? ChunkPacker::Bound(length) : 0;
    std::shared_ptr<PackJob> job;
    if (length >= kBatchSize) {
        // The batch goes first: the workers take jobs in the order the writer needs them.
        if (batch_) Submit(batch_);
        job = std::make_shared<PackJob>();
    } else {
        if (batch_ && (batch_->inputSize + length > kBatchSize || batch_->outputRoom + room > kChunkSize ||
                       batch_->pieces.size() == kMaxBatchPieces))
            Submit(batch_);
        if (!batch_) batch_ = std::make_shared<PackJob>();
        job = batch_;
    }
    const bool first = pieceIndex_ == 0;
    const bool last = planned_ + length == size;
    job->pieces.push_back(Piece{source_, pieceIndex_++, planned_, length, first, last});
    Piece& piece = job->pieces.back();
    piece.inputOffset = job->inputSize;
    job->inputSize += length;
    job->outputRoom += room;
    if (length) ++job->dataPieces;
    planned_ += length;
    inFlight_ += length;
    lastJob_ = job;
    const size_t index = job->pieces.size() - 1;
    if (first && entry_ != kHelper) Push(Step::Kind::Header, job, index);
    if (length) Push(Step::Kind::Chunk, job, index);
    if (job != batch_) Submit(job);
}

void EntryPipeline::Submit(std::shared_ptr<PackJob> job) {
    if (job == batch_) batch_.reset();
    job->submitted = true;
    job->unwritten = job->dataPieces;
    if (workers_.empty()) return;  // read and packed by WaitFor, when the writer needs it
    {
        platform::LockGuard lock(mutex_);
        queue_.push_back(job);
    }
    workReady_.NotifyAll();
}

// --- reading and packing -------------------------------------------------------

void EntryPipeline::Work() {
    for (;;) {
        std::shared_ptr<PackJob> job;
        {
            platform::LockGuard lock(mutex_);
            while (!stopping_ && (queue_.empty() || freeBuffers_.empty())) workReady_.Wait(mutex_);
            if (stopping_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            job->buffers = freeBuffers_.back();
            freeBuffers_.pop_back();
        }
        Execute(*job);
        {
            platform::LockGuard lock(mutex_);
            job->done = true;
        }
        jobDone_.NotifyAll();
    }
}

void EntryPipeline::Execute(PackJob& job) {
    try {
        job.buffers->input.Reserve(job.inputSize);
        if (run_.options.Compression && job.outputRoom > 0) job.buffers->output.Reserve(job.outputRoom);
    } catch (const std::bad_alloc&) {
        job.outOfMemory = true;  // the writer raises it where the job's first record is written
        return;
    }
    bool data = false;
    for (Piece& piece : job.pieces) {
        uint8_t* room = job.buffers->input.data.get() + piece.inputOffset;
        piece.loaded = Load(piece, room) && piece.length > 0;
        if (piece.loaded) piece.sum = WideByteSum(room, piece.length);
        data = data || piece.loaded;
    }
    if (data && run_.options.Compression) Pack(job);
    if (job.dataPieces == 0) Release(job);  // nothing of it is written as a chunk
}

// Packs the pieces that were read, with the next free packer.
void EntryPipeline::Pack(PackJob& job) {
    ChunkPacker* packer;
    {
        platform::LockGuard lock(mutex_);
        while (freePackers_.empty() && !stopping_) packerFree_.Wait(mutex_);
        if (stopping_) return;
        packer = freePackers_.back();
        freePackers_.pop_back();
    }
    uint8_t* const input = job.buffers->input.data.get();
    uint8_t* const output = job.buffers->output.data.get();
    size_t packedSize = 0;
    for (Piece& piece : job.pieces) {
        if (!piece.loaded) continue;
        piece.packedOffset = packedSize;
        try {
            piece.packedLength = static_cast<uint32_t>(
                packer->Pack(input + piece.inputOffset, piece.length, output + packedSize));
        } catch (const BuildError&) {
            job.failed = true;
            break;
        }
        packedSize += piece.packedLength;
    }
    {
        platform::LockGuard lock(mutex_);
        freePackers_.push_back(packer);
    }
    packerFree_.NotifyAll();
}

// Reads the piece's data; false when there is none. A file's pieces are read
// in turn, on whichever workers; after a failure the later ones are not read.
bool EntryPipeline::Load(Piece& piece, uint8_t* room) {
    Source& source = *piece.source;
    if (source.path.empty()) {
        std::memcpy(room, run_.env.helperImage.data() + piece.offset, piece.length);
        return true;
    }
    bool skip;
    {
        platform::LockGuard lock(mutex_);
        while (source.piecesRead < piece.index && !stopping_) pieceRead_.Wait(mutex_);
        skip = source.failed || stopping_;
    }
    if (!skip && piece.opens) piece.openError = source.file.OpenRead(source.path);
    if (!skip && !piece.openError) {
        size_t got = 0;
        piece.readError = source.file.Read(room, piece.length, got);
        if (piece.readError == 0 && got != piece.length) piece.readError = kIoReadPastEnd;
        if (piece.readError == 0 && piece.closes) piece.closeError = source.file.Close();
    }
    {
        platform::LockGuard lock(mutex_);
        source.piecesRead = piece.index + 1;
        source.failed = source.failed || piece.openError || piece.readError;
    }
    pieceRead_.NotifyAll();
    return !skip && !piece.openError && !piece.readError;
}

// Gives the job's buffers back for the next job.
void EntryPipeline::Release(PackJob& job) {
    {
        platform::LockGuard lock(mutex_);
        freeBuffers_.push_back(job.buffers);
        job.buffers = nullptr;
    }
    workReady_.NotifyAll();
}

// --- writing -------------------------------------------------------------------

void EntryPipeline::WaitFor(const std::shared_ptr<PackJob>& job) {
    if (!job->submitted) Submit(job);  // small pieces wait for company until they are needed
    if (workers_.empty()) {
        if (!job->done) {
            job->buffers = freeBuffers_.back();  // the one set: the jobs before are written
            freeBuffers_.pop_back();
            Execute(*job);
            job->done = true;
        }
    } else {
        platform::LockGuard lock(mutex_);
        while (!job->done) jobDone_.Wait(mutex_);
    }
    if (job->outOfMemory)
        throw BuildError(platform::SystemMessage(kErrorNotEnoughMemory), kErrorNotEnoughMemory);
}

bool EntryPipeline::Write(const Step& step) {
    const bool helper = step.entry == kHelper;
    switch (step.kind) {
        case Step::Kind::Folder: {
            if (CancelRequested) return false;
            const SourceItem& item = Item(step.entry);
            WriteHeader(kEntryOrdinary, item);
            WriteChecksum(run_, ByteSum(item.storedName.data(), item.storedName.size()));
            return true;
        }
        case Step::Kind::Show:
            if (CancelRequested) return false;
            if (progress_) {
                progress_->ShowSource(FullPath(step.entry));
                progress_->ProcessMessages();
            }
            return true;
        case Step::Kind::Header: {
            const SourceItem& item = Item(step.entry);
            uint8_t kind = kEntryHelper;
            if (!helper) {
                WaitFor(step.job);
                if (int error = step.ThePiece().openError) RaiseIoError(error, FullPath(step.entry));
                const bool program = run_.options.ExtractionMode == kExtractAndRun &&
                                     platform::PathsEqual(FullPath(step.entry), run_.options.ExecutableFile);
                kind = program ? kEntryProgram : kEntryOrdinary;
            }
            WriteHeader(kind, item);
            checksum_ = ByteSum(item.storedName.data(), item.storedName.size());
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
            WaitFor(step.job);
            if (int error = step.ThePiece().closeError) RaiseIoError(error, FullPath(step.entry));
            FinishEntry();
            return true;
    }
    return true;
}

// The classic header, or the extended one with the size behind it.
void EntryPipeline::WriteHeader(uint8_t kind, const SourceItem& item) {
    const std::string& name = item.storedName;
    const int32_t classicSize = item.extended ? 0 : static_cast<int32_t>(item.Size);
    const EntryHeader header{static_cast<uint8_t>(kind | (item.extended ? kEntryExtended : 0)),
                             static_cast<int32_t>(name.size()), classicSize, item.FileTime, item.Attributes};
    uint8_t bytes[kEntryHeaderSize + kSize64Size];
    EncodeEntryHeader(header, bytes);
    WriteLE64(bytes + kEntryHeaderSize, item.Size);
    WriteToTarget(run_, bytes, EntryHeadSize(header));
    WriteToTarget(run_, name.data(), name.size());
}

void EntryPipeline::WriteChunk(const Step& step) {
    PackJob& job = *step.job;
    WaitFor(step.job);
    const Piece& piece = step.ThePiece();
    if (int error = piece.readError) RaiseIoError(error, FullPath(step.entry));
    if (job.failed) throw BuildError(Tr(TextId::PackingFailed));
    if (run_.options.Compression) {
        if (piece.packedLength > kMaxPackedChunk)
            throw BuildError(platform::SystemMessage(kErrorNotEnoughMemory), kErrorNotEnoughMemory);
        uint8_t header[kChunkHeaderSize];
        EncodeChunkHeader(ChunkHeader{piece.length, piece.packedLength}, header);
        WriteToTarget(run_, header, sizeof header);
        WriteToTarget(run_, job.buffers->output.data.get() + piece.packedOffset, piece.packedLength);
    } else {
        WriteToTarget(run_, job.buffers->input.data.get() + piece.inputOffset, piece.length);
    }
    if (progress_ && step.entry != kHelper)
        progress_->ReportProgress(written_, EntrySize(step.entry), run_.doneSize, run_.totalSize);
    checksum_ += piece.sum;  // sums of bytes add up piece by piece
    written_ += piece.length;
    inFlight_ -= piece.length;
    if (--job.unwritten == 0) Release(job);
}

void EntryPipeline::FinishEntry() {
    WriteChecksum(run_, checksum_);
    entryOpen_ = false;
    if (writing_ == kHelper) return;  // the helper makes no report and adds nothing to the done size
    const uint64_t size = EntrySize(writing_);
    if (progress_) progress_->ReportProgress(size, size, run_.doneSize, run_.totalSize);
    run_.doneSize += static_cast<int64_t>(size);
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
