// Appends a million rows of a typical result (INT, BIGINT, VARCHAR(64), DECIMAL(12,2), DATETIME,
// DOUBLE, as the record set stores them under UseUnicode) to the in-memory storage, walks them
// once reading every field, and reports the time and the memory the rows take.

#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data_access/mem_data.h"
#include "platform/date_time.h"

namespace {

using namespace data_access;

constexpr int RowCount = 1'000'000;
// Rows per fetch block, as the record set reads them.
constexpr int FetchRows = 25;

// The storage with the record set's layout for the row, filled block by block the way a fetch
// fills it.
class TBenchStorage : public TMemData {
public:
    struct TUse {
        std::size_t Blocks = 0;
        std::size_t HeapStringBytes = 0;
    };

    void Append(int count) {
        std::int32_t n = 0;
        while (n < count) {
            PBlockHeader block = BlockMan.AllocBlock(FetchRows);
            ++FUse.Blocks;
            int rows = 0;
            for (; rows < FetchRows && n < count; ++rows, ++n) {
                WriteRow(n, ItemRecord(BlockMan.BlockItem(block, rows)));
            }
            CreateBlockStruct(block, rows, false);
        }
    }

    const TUse& Use() const { return FUse; }

protected:
    void InternalInitFields() override {
        const struct {
            const char16_t* name;
            TDataType type;
            std::uint16_t length;
            std::int32_t size;
        } columns[] = {
            {u"id", dtInt32, 11, 4},
            {u"total", dtInt64, 20, 8},
            {u"name", dtExtWideString, 64, ReferenceSize},
            {u"amount", dtFloat, 12, 8},
            {u"created", dtDateTime, 19, 8},
            {u"ratio", dtFloat, 22, 8},
        };
        std::uint16_t fieldNo = 0;
        for (const auto& column : columns) {
            auto field = GetFieldDescType();
            field->FName = column.name;
            field->FDataType = column.type;
            field->FLength = column.length;
            field->FSize = column.size;
            field->FFieldNo = ++fieldNo;
            FFields.Add(std::move(field));
        }
    }

    void InternalOpen() override { InitFields(); }

private:
    template <typename T>
    static void Put(std::uint8_t* at, T value) {
        std::memcpy(at, &value, sizeof value);
    }

    void WriteRow(std::int32_t n, std::uint8_t* record) {
        // The texts are made once, so that the time is the storage's.
        static const std::vector<std::u16string> names = [] {
            const char16_t* bases[] = {
                u"Борщ украинский",
                u"Салат Цезарь с курицей",
                u"Чай",
                u"Шашлык из баранины",
                u"Caesar salad",
                u"Пицца Маргарита большая на тонком тесте",
                u"Компот",
            };
            std::vector<std::u16string> all;
            for (int digit = 0; digit < 10; ++digit) {
                for (const char16_t* base : bases) {
                    all.push_back(base + std::u16string(u" №") + char16_t(u'0' + digit));
                }
            }
            return all;
        }();
        const std::u16string& name = names[std::size_t(n) % names.size()];
        Put<std::int32_t>(record + Fields()[0].FOffset, n);
        Put<std::int64_t>(record + Fields()[1].FOffset, 10'000'000'000LL + n * 7LL);
        char16_t* text = FStringHeap.AllocWideStr(name.c_str(), false, std::int32_t(name.size()));
        FUse.HeapStringBytes += (name.size() * 2 + 2 + 7) / 8 * 8 + TStringHeap::HeaderSize;
        Put(record + Fields()[2].FOffset, text);
        Put<double>(record + Fields()[3].FOffset, (n % 100000) / 100.0);
        Put<double>(record + Fields()[4].FOffset, 45000.0 + n / 86400.0);
        Put<double>(record + Fields()[5].FOffset, n * 0.001);
        // Every fifth amount is NULL.
        std::memset(record + DataSize(), 0, 6);
        record[DataSize() + 3] = n % 5 == 0;
    }

    TUse FUse;
};

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

int main() {
    using Clock = std::chrono::steady_clock;
    const std::size_t heapBefore = mallinfo2().uordblks;

    TBenchStorage storage;
    storage.Open();
    const Clock::time_point appendStart = Clock::now();
    storage.Append(RowCount);
    const double appendSeconds = Seconds(Clock::now() - appendStart);
    const std::size_t heapAfter = mallinfo2().uordblks;

    // The walk reads every field into buffers of the size the data set gives them.
    auto record = storage.AllocRecBuf();
    std::uint8_t value[(64 + 1) * 2];
    double checksum = 0;
    int nulls = 0;
    const Clock::time_point walkStart = Clock::now();
    storage.SetToBegin();
    for (storage.GetNextRecord(record.get()); !storage.GetEOF();
         storage.GetNextRecord(record.get())) {
        for (int fieldNo = 1; fieldNo <= storage.GetFieldCount(); ++fieldNo) {
            bool isNull = false;
            storage.GetField(fieldNo, record.get(), isNull, true, value);
            nulls += isNull;
            checksum += value[0] + value[1];
        }
    }
    const double walkSeconds = Seconds(Clock::now() - walkStart);

    const TBenchStorage::TUse& use = storage.Use();
    const std::size_t itemSize = sizeof(TItemHeader) + std::size_t(storage.RecordSize());
    const std::size_t blockBytes = use.Blocks * (sizeof(TBlockHeader) + FetchRows * itemSize);
    const std::size_t heapChunks =
        (use.HeapStringBytes + TStringHeap::ChunkDataSize - 1) / TStringHeap::ChunkDataSize;
    const std::size_t measured = heapAfter - heapBefore;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    std::printf("rows=%d record_size=%d item_header=%zu item_size=%zu blocks=%zu\n", RowCount,
                storage.RecordSize(), sizeof(TItemHeader), itemSize, use.Blocks);
    std::printf("append: %.3f s (%.1f ns/row)   walk reading every field: %.3f s (%.1f ns/row)\n",
                appendSeconds, appendSeconds * 1e9 / RowCount, walkSeconds,
                walkSeconds * 1e9 / RowCount);
    std::printf(
        "per row: record %d + item header %zu + block header share %.2f + heap string "
        "%.2f (%zu chunks of %d) = %.2f bytes; allocator in use: %.2f bytes\n",
        storage.RecordSize(), sizeof(TItemHeader), double(sizeof(TBlockHeader)) / FetchRows,
        double(heapChunks) * TStringHeap::BlockSize / RowCount, heapChunks, TStringHeap::BlockSize,
        double(blockBytes + heapChunks * TStringHeap::BlockSize) / RowCount,
        double(measured) / RowCount);
    std::printf("peak resident: %ld KB   (checksum %.0f, nulls %d)\n", usage.ru_maxrss, checksum,
                nulls);
    storage.Close();
    std::printf("store_ns_per_row=%.0f bytes_per_row=%.0f\n", appendSeconds * 1e9 / RowCount,
                double(measured) / RowCount);
    return 0;
}
