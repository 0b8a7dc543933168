#include "data_access/blob.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "data_access/blob_data.h"
#include "data_access/compressed_blob_data.h"
#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace {

using data_access::CCompressBlobHeaderGuid;
using data_access::DefaultPieceSize;
using data_access::PieceData;
using data_access::PPieceHeader;
using data_access::TBlob;
using data_access::TCompressedBlob;
using data_access::TCRBlobData;
using data_access::TReference;
using data_access::TSharedObject;
using ::testing::StartsWith;

using Layout = std::vector<std::pair<std::size_t, std::size_t>>;

void ExpectAssertion(const std::function<void()>& action, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << "no assertion failure, expected " << text;
    } catch (const platform::EAssertionFailed& e) {
        EXPECT_THAT(e.Message(), StartsWith(text + " ("));
    }
}

// An error raised to the caller, not an assertion failure.
void ExpectError(const std::function<void()>& action, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << "no error, expected " << text;
    } catch (const platform::EAssertionFailed& e) {
        ADD_FAILURE() << "assertion failure " << e.Message() << ", expected " << text;
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), text);
    }
}

std::string Pattern(std::size_t length, unsigned seed = 0) {
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>('a' + (seed + i * 7 + i / 26) % 26);
    }
    return text;
}

// Content that deflates to a small part of its size.
std::string Repetitive(std::size_t length, unsigned seed = 0) {
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>('a' + (seed + i % 5));
    }
    return text;
}

std::string RandomBytes(std::size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(length, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

std::string ReadAll(TCRBlobData& data) {
    std::string bytes(data.GetSize(), '\0');
    EXPECT_EQ(data.Read(0, bytes.size(), bytes.data()), bytes.size());
    return bytes;
}

std::string ReadAll(TBlob& blob) {
    std::string bytes(blob.Size(), '\0');
    EXPECT_EQ(blob.Read(0, bytes.size(), bytes.data()), bytes.size());
    return bytes;
}

// The bytes the pieces hold, whatever form they are in.
std::string StoredBytes(const TCRBlobData& data) {
    std::string bytes;
    for (PPieceHeader piece = data.FirstPiece(); piece; piece = piece->Next) {
        bytes.append(reinterpret_cast<const char*>(PieceData(piece)), piece->Used);
    }
    return bytes;
}

// Capacity and use of every piece.
Layout Pieces(const TCRBlobData& data) {
    Layout layout;
    for (PPieceHeader piece = data.FirstPiece(); piece; piece = piece->Next) {
        layout.emplace_back(piece->Size, piece->Used);
    }
    return layout;
}

// The links run both ways, every piece names its content object, and once a piece is partly
// used every later one is unused.
void ExpectWellFormed(const TCRBlobData& data) {
    bool partlyUsed = false;
    PPieceHeader previous = nullptr;
    for (PPieceHeader piece = data.FirstPiece(); piece; piece = piece->Next) {
        EXPECT_EQ(piece->Prev, previous);
        EXPECT_EQ(piece->Blob, &data);
        EXPECT_LE(piece->Used, piece->Size);
        if (partlyUsed) {
            EXPECT_EQ(piece->Used, 0u);
        }
        partlyUsed = partlyUsed || piece->Used < piece->Size;
        previous = piece;
    }
}

TReference<TCRBlobData> NewData(std::size_t pieceSize = DefaultPieceSize) {
    TReference<TCRBlobData> data(new TCRBlobData);
    data->SetPieceSize(pieceSize);
    return data;
}

TReference<TBlob> NewBlob(const std::string& bytes, bool isUnicode = false,
                          std::size_t pieceSize = DefaultPieceSize) {
    TReference<TBlob> blob(new TBlob(isUnicode));
    blob->SetPieceSize(pieceSize);
    blob->Write(0, bytes.size(), bytes.data());
    return blob;
}

std::string Bytes(const std::u16string& text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

// ---- Content in pieces ----

TEST(TCRBlobData, WritesFillPiecesBeforeAppendingNewOnes) {
    const auto data = NewData();
    const std::string big = Pattern(DefaultPieceSize + 10);
    data->Write(0, big.size(), big.data());
    // The second piece is sized for the whole write, not for what was left of it.
    EXPECT_EQ(Pieces(*data),
              (Layout{{DefaultPieceSize, DefaultPieceSize}, {DefaultPieceSize, 10}}));
    EXPECT_EQ(ReadAll(*data), big);

    const auto small = NewData(8);
    small->Write(0, 10, "0123456789");
    EXPECT_EQ(Pieces(*small), (Layout{{8, 8}, {8, 2}}));
    small->Write(10, 3, "abc");  // into the spare room of the last piece
    EXPECT_EQ(Pieces(*small), (Layout{{8, 8}, {8, 5}}));
    small->Write(99, 4, "defg");  // cut to the end: no gap
    EXPECT_EQ(Pieces(*small), (Layout{{8, 8}, {8, 8}, {4, 1}}));
    small->Write(6, 4, "WXYZ");  // over a piece boundary, inside the content
    EXPECT_EQ(ReadAll(*small), "012345WXYZabcdefg");
    EXPECT_EQ(small->GetSize(), 17u);
}

TEST(TCRBlobData, ReadsAtEveryEdge) {
    const auto data = NewData(5);
    data->Write(0, 12, "0123456789AB");
    const struct {
        std::size_t position;
        std::size_t count;
        std::string bytes;
    } cases[] = {
        {0, 0, "0123456789AB"},  // 0: up to the end
        {0, 12, "0123456789AB"},
        {0, 100, "0123456789AB"},
        {4, 2, "45"},
        {5, 5, "56789"},
        {5, 10, "56789AB"},
        {11, 0, "B"},
        {12, 5, ""},
        {13, 1, ""},
    };
    for (const auto& c : cases) {
        std::string out(20, '.');
        const std::size_t read = data->Read(c.position, c.count, out.data());
        EXPECT_EQ(out.substr(0, read), c.bytes) << c.position << "+" << c.count;
        EXPECT_EQ(out.substr(read), std::string(20 - read, '.')) << c.position << "+" << c.count;
    }
    char out[4];
    EXPECT_EQ(NewData()->Read(0, 0, out), 0u);
}

TEST(TCRBlobData, TruncateKeepsPiecesForLaterWrites) {
    const auto data = NewData(4);
    data->Write(0, 10, "0123456789");
    data->Truncate(20);
    EXPECT_EQ(Pieces(*data), (Layout{{4, 4}, {4, 4}, {4, 2}}));
    data->Truncate(5);
    EXPECT_EQ(Pieces(*data), (Layout{{4, 4}, {4, 1}, {4, 0}}));
    EXPECT_EQ(ReadAll(*data), "01234");
    data->Write(5, 5, "abcde");
    EXPECT_EQ(Pieces(*data), (Layout{{4, 4}, {4, 4}, {4, 2}}));
    EXPECT_EQ(ReadAll(*data), "01234abcde");
    data->Truncate(0);
    EXPECT_TRUE(data->IsEmpty());
}

TEST(TCRBlobData, GrowingAfterATruncationStillOverwrites) {
    // The grown bytes must follow the kept ones directly: a write over them replaces them.
    const auto data = NewData(10);
    data->Write(0, 15, "0123456789abcde");
    data->Truncate(12);
    data->SetSize(20);
    EXPECT_EQ(ReadAll(*data), std::string("0123456789ab") + std::string(8, '\0'));
    data->Write(12, 3, "XYZ");
    EXPECT_EQ(data->GetSize(), 20u);
    EXPECT_EQ(ReadAll(*data), std::string("0123456789abXYZ") + std::string(5, '\0'));
    ExpectWellFormed(*data);
}

TEST(TCRBlobData, ChangesMatchAPlainString) {
    for (const std::size_t pieceSize : {1, 3, 7, 64}) {
        const auto data = NewData(pieceSize);
        std::string model;
        std::mt19937 random(static_cast<unsigned>(pieceSize));
        for (unsigned step = 0; step < 400; ++step) {
            const unsigned operation = random() % 10;
            if (operation < 5) {
                const std::string text = Pattern(random() % 20, step);
                const std::size_t requested = random() % (model.size() + 5);
                const std::size_t position = std::min(requested, model.size());
                data->Write(requested, text.size(), text.data());
                model.resize(std::max(model.size(), position + text.size()));
                model.replace(position, text.size(), text);
            } else if (operation < 7) {
                const std::size_t size = random() % (model.size() + 3);
                data->Truncate(size);
                model.resize(size == 0 ? 0 : std::min(size, model.size()));
            } else if (operation == 7) {
                const std::size_t size = random() % (model.size() + 20);
                data->SetSize(size);
                model.resize(size, '\0');
            } else if (operation == 8) {
                data->Compress();
            } else {
                data->Defrag();
            }
            ASSERT_EQ(ReadAll(*data), model) << "piece size " << pieceSize << ", step " << step;
            ExpectWellFormed(*data);
        }
    }
}

TEST(TCRBlobData, CompressAndDefragKeepTheContent) {
    const auto data = NewData(4);
    data->Write(0, 10, "0123456789");
    data->Truncate(5);
    data->Compress();
    EXPECT_EQ(Pieces(*data), (Layout{{4, 4}, {1, 1}}));
    data->Write(5, 6, "abcdef");
    data->Defrag();
    EXPECT_EQ(Pieces(*data), (Layout{{11, 11}}));
    EXPECT_EQ(ReadAll(*data), "01234abcdef");
    ExpectWellFormed(*data);
}

TEST(TCRBlobData, CopyToHandsThePiecesOver) {
    const auto data = NewData(4);
    data->Write(0, 10, "0123456789");
    const PPieceHeader first = data->FirstPiece();
    const auto dest = NewData();
    dest->Write(0, 3, "old");
    data->CopyTo(*dest);
    EXPECT_EQ(dest->FirstPiece(), first);
    EXPECT_EQ(ReadAll(*dest), "0123456789");
    ExpectWellFormed(*dest);
    EXPECT_EQ(Pieces(*data), (Layout{{10, 10}}));
    EXPECT_EQ(ReadAll(*data), "0123456789");
    ExpectWellFormed(*data);

    const auto empty = NewData();
    empty->CopyTo(*dest);
    EXPECT_TRUE(dest->IsEmpty());
}

TEST(TCRBlobData, PieceOperations) {
    ExpectAssertion([] { TCRBlobData::AllocPiece(0); }, "Assertion failure");

    const auto data = NewData();
    PPieceHeader a = TCRBlobData::AllocPiece(4);
    PPieceHeader b = TCRBlobData::AllocPiece(4);
    PPieceHeader c = TCRBlobData::AllocPiece(4);
    EXPECT_EQ(a->Blob, nullptr);
    EXPECT_EQ(a->Used, 0u);
    for (PPieceHeader piece : {a, b, c}) {
        data->AppendPiece(piece);
        std::memcpy(PieceData(piece), "wxyz", 4);
        piece->Used = 4;
    }
    ExpectAssertion([&] { data->AppendPiece(b); }, "Assertion failure");

    // Growing the middle piece may move it; the neighbours follow.
    data->ReallocPiece(b, 100000);
    EXPECT_EQ(data->FirstPiece()->Next, b);
    EXPECT_EQ(b->Prev, data->FirstPiece());
    EXPECT_EQ(b->Next->Prev, b);
    EXPECT_EQ(b->Size, 100000u);
    EXPECT_EQ(ReadAll(*data), "wxyzwxyzwxyz");
    data->ReallocPiece(b, 2);
    EXPECT_EQ(ReadAll(*data), "wxyzwxwxyz");
    data->ReallocPiece(a, 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(data->FirstPiece(), b);
    ExpectWellFormed(*data);

    const auto other = NewData();
    ExpectAssertion([&] { other->DeletePiece(c); }, "Assertion failure");
    data->DeletePiece(c);
    EXPECT_EQ(c->Blob, nullptr);
    EXPECT_EQ(Pieces(*data), (Layout{{2, 2}}));
    other->FreePiece(c);  // not linked: just freed

    // A used piece behind a partly used one breaks the content's shape; a write there is refused.
    PPieceHeader d = TCRBlobData::AllocPiece(4);
    d->Used = 3;
    data->AppendPiece(d);
    data->ReallocPiece(b, 10);
    ExpectAssertion([&] { data->Write(3, 5, "12345"); }, "Assertion failure");
}

// ---- Blobs ----

TEST(TBlob, RollbackKeepsTheContentBeforeTheFirstChange) {
    const auto blob = NewBlob("original");
    blob->EnableRollback();
    EXPECT_FALSE(blob->CanRollback());
    blob->Write(0, 1, "O");
    blob->Write(8, 4, " one");
    ASSERT_TRUE(blob->CanRollback());
    EXPECT_EQ(ReadAll(*blob), "Original one");

    blob->SetUseRollback(true);
    EXPECT_TRUE(blob->UseRollback());
    EXPECT_EQ(ReadAll(*blob), "original");
    blob->SetUseRollback(false);
    EXPECT_EQ(ReadAll(*blob), "Original one");

    blob->Cancel();
    EXPECT_FALSE(blob->CanRollback());
    EXPECT_EQ(ReadAll(*blob), "original");

    blob->Write(0, 1, "#");
    blob->Commit();
    EXPECT_FALSE(blob->CanRollback());
    EXPECT_EQ(ReadAll(*blob), "#riginal");
    blob->SetUseRollback(true);  // no copy: nothing to show
    EXPECT_FALSE(blob->UseRollback());
}

TEST(TBlob, EveryChangeTakesTheCopy) {
    const std::pair<const char*, std::function<void(TBlob&)>> changes[] = {
        {"Write", [](TBlob& b) { b.Write(3, 2, "XY"); }},
        {"Clear", [](TBlob& b) { b.Clear(); }},
        {"Truncate", [](TBlob& b) { b.Truncate(2); }},
        {"SetSize", [](TBlob& b) { b.SetSize(30); }},
        {"AddCR", [](TBlob& b) { b.AddCR(); }},
        {"RemoveCR", [](TBlob& b) { b.RemoveCR(); }},
        {"SetAsAnsiString", [](TBlob& b) { b.SetAsAnsiString("new"); }},
    };
    for (const auto& [name, change] : changes) {
        const auto blob = NewBlob("line\r\none\nend", false, 4);
        blob->EnableRollback();
        change(*blob);
        EXPECT_NE(ReadAll(*blob), "line\r\none\nend") << name;
        blob->Cancel();
        EXPECT_EQ(ReadAll(*blob), "line\r\none\nend") << name;
    }

    const auto empty = NewBlob("");
    empty->EnableRollback();
    empty->Clear();
    EXPECT_FALSE(empty->CanRollback());
}

TEST(TBlob, RollbackNeedsCachedMode) {
    const auto blob = NewBlob("a\nb");
    ExpectError([&] { blob->SaveToRollback(); }, "Blob must be in cached mode");
    blob->Write(0, 1, "x");
    EXPECT_FALSE(blob->CanRollback());

    blob->EnableRollback();
    EXPECT_TRUE(blob->NeedRollback());
    blob->DisableRollback();
    blob->AddCR();
    EXPECT_FALSE(blob->CanRollback());
    EXPECT_EQ(ReadAll(*blob), "x\r\nb");
}

TEST(TBlob, CommitAndCancelWhileShowingTheCopy) {
    for (const bool cancel : {false, true}) {
        const auto blob = NewBlob("before");
        blob->EnableRollback();
        blob->SetAsAnsiString("after");
        blob->SetUseRollback(true);
        if (cancel) {
            blob->Cancel();
        } else {
            blob->Commit();
        }
        EXPECT_FALSE(blob->UseRollback());
        EXPECT_EQ(ReadAll(*blob), cancel ? "before" : "after");
    }
}

TEST(TBlob, CloneSharesTheContentByCount) {
    auto blob = NewBlob("shared");
    TReference<TBlob> clone(blob->Clone());
    EXPECT_EQ(clone->Data(), blob->Data());
    EXPECT_EQ(blob->Data()->RefCount(), 2);
    EXPECT_EQ(clone->RefCount(), 1);

    clone->Write(0, 1, "S");
    EXPECT_EQ(ReadAll(*blob), "Shared");

    blob.reset();
    EXPECT_EQ(clone->Data()->RefCount(), 1);
    EXPECT_EQ(ReadAll(*clone), "Shared");
}

TEST(TBlob, CloneFromRollbackSharesTheCopy) {
    const auto blob = NewBlob("old", true);
    blob->EnableRollback();
    blob->Write(0, 3, "new");
    const TReference<TBlob> clone(blob->Clone(true));
    EXPECT_TRUE(clone->IsUnicode());
    EXPECT_EQ(ReadAll(*clone), "old");
    blob->SetUseRollback(true);
    EXPECT_EQ(clone->Data(), blob->Data());

    const TReference<TBlob> empty(blob->Clone(false, false));
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_TRUE(empty->IsUnicode());

    // Sharing needs content to share and a blob showing its own.
    ExpectAssertion([&] { blob->SetData(clone->Data()); }, "Assertion failure");
    ExpectAssertion([&] { NewBlob("x")->Clone(true); }, "Assertion failure");
}

TEST(TBlob, LastReleaseDestroysTheBlob) {
    TBlob* blob = new TBlob;
    blob->EnableRollback();
    blob->SetAsAnsiString("value");
    blob->Write(0, 1, "V");  // content and rollback copy
    blob->AddRef();
    EXPECT_EQ(blob->RefCount(), 2);
    blob->Release();
    EXPECT_EQ(blob->RefCount(), 1);
    blob->CheckValid();
    TSharedObject::Free(blob);  // the sanitizer build reports anything left behind
    TSharedObject::Free(nullptr);
}

// Releases itself once more while being destroyed, as an owner that lost count would.
class TReleasedTwice : public TSharedObject {
public:
    TReleasedTwice(std::string& failure, std::string& validity)
        : FFailure(failure), FValidity(validity) {}

protected:
    ~TReleasedTwice() override {
        try {
            Release();
        } catch (const platform::EAssertionFailed& e) {
            FFailure = e.Message();
        }
        try {
            CheckValid();
        } catch (const platform::Exception& e) {
            FValidity = e.Message();
        }
    }

private:
    std::string& FFailure;
    std::string& FValidity;
};

TEST(TSharedObject, ReleaseBelowOneIsAnAssertionFailure) {
    std::string failure;
    std::string validity;
    (new TReleasedTwice(failure, validity))->Release();
    EXPECT_THAT(failure, StartsWith("TReleasedTwice.Free RefCount = 0 ("));
    EXPECT_EQ(validity, "Invalid SharedObject");
}

TEST(TBlob, IsUnicodeChangesOnlyWhileEmpty) {
    const auto blob = NewBlob("");
    blob->SetIsUnicode(true);
    EXPECT_TRUE(blob->IsUnicode());
    blob->Write(0, 2, "a\0");
    blob->SetIsUnicode(true);
    ExpectError([&] { blob->SetIsUnicode(false); }, "Cannot change IsUnicode if Size > 0");
    EXPECT_TRUE(blob->IsUnicode());
}

// The 8-bit form is the process's ANSI code page; these tests run in cp1251.
TEST(TBlob, TextViewsConvertBetweenTheForms) {
    const std::u16string wide = u"Плов € ё";
    // П CF, л EB, о EE, в E2, € 88, ё B8.
    const std::string ansi = "\xCF\xEB\xEE\xE2 \x88 \xB8";
    for (const bool isUnicode : {false, true}) {
        const auto blob = NewBlob("", isUnicode, 3);
        blob->SetAsWideString(wide);
        EXPECT_EQ(ReadAll(*blob), isUnicode ? Bytes(wide) : ansi);
        EXPECT_EQ(blob->AsWideString(), wide);
        EXPECT_EQ(blob->AsString(), wide);
        EXPECT_EQ(blob->AsAnsiString(), ansi);
        blob->SetAsAnsiString(ansi);
        EXPECT_EQ(blob->AsWideString(), wide);
        const auto bytes = blob->AsBytes();
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), isUnicode ? Bytes(wide) : ansi);
        blob->SetAsBytes({'h', 'i'});
        EXPECT_EQ(blob->Size(), 2u);
        blob->SetAsString(u"");
        EXPECT_TRUE(blob->IsEmpty());
        EXPECT_EQ(blob->AsWideString(), u"");
    }
    // Every byte is a character: one the page leaves undefined (98) reads as the C1 control.
    EXPECT_EQ(NewBlob("a\x98\xFF")->AsWideString(), u"a\u0098я");
    // A character the page lacks becomes '?', a surrogate pair one '?', an unpaired one too.
    const std::u16string lossy = u"ü\U0001F600\xD800x";
    EXPECT_EQ(NewBlob(Bytes(lossy), true, 3)->AsAnsiString(), "???x");
    const auto stored = NewBlob("", false, 3);
    stored->SetAsWideString(lossy);
    EXPECT_EQ(ReadAll(*stored), "???x");
}

TEST(TBlob, TextViewsFollowTheCodePage) {
    struct TRestoreCodePage {
        ~TRestoreCodePage() { platform::SetAnsiCodePage(1251); }
    } restore;
    platform::SetAnsiCodePage(1252);
    // cp1252: ü FC, ß DF, € 80.
    const std::string ansi =
        "Gr\xFC\xDF"
        "e \x80";
    EXPECT_EQ(NewBlob(ansi)->AsWideString(), u"Grüße €");
    const auto wide = NewBlob("", true);
    wide->SetAsAnsiString(ansi);
    EXPECT_EQ(wide->AsWideString(), u"Grüße €");
    EXPECT_EQ(wide->AsAnsiString(), ansi);
    EXPECT_EQ(wide->GetSizeAnsi(), 7u);
}

// Sizes in the other form are the sizes of the converted text, whatever the pieces.
TEST(TBlob, SizesInTheOtherForm) {
    const std::u16string ascii = u"0123456789";
    EXPECT_EQ(NewBlob(Bytes(ascii), true)->Size(), 20u);
    EXPECT_EQ(NewBlob(Bytes(ascii), true)->GetSizeAnsi(), 10u);
    const struct {
        std::string content;
        std::size_t sizeAnsi;
    } unicode[] = {
        {Bytes(u"Плов"), 4},
        {Bytes(u"é€\U0001F600"), 3},
        {Bytes({u'\xD800', u'a', u'\xDC00'}), 3},
        {Bytes(u"\xDC00\xD800"), 2},
        {Bytes(u"ab") + "x", 2},
        {"", 0},
    };
    // cp1251: П CF, л EB, о EE, в E2; 98 is undefined, FF is я.
    const struct {
        std::string content;
        std::size_t sizeUni;
    } ansi[] = {
        {"\xCF\xEB\xEE\xE2", 8},
        {"a\xFF", 4},
        {"\x98", 2},
        {"", 0},
    };
    for (const std::size_t pieceSize : {std::size_t(1), std::size_t(3), DefaultPieceSize}) {
        for (const auto& c : unicode) {
            const auto blob = NewBlob(c.content, true, pieceSize);
            EXPECT_EQ(blob->GetSizeAnsi(), c.sizeAnsi) << pieceSize;
            EXPECT_EQ(blob->AsAnsiString().size(), c.sizeAnsi) << pieceSize;
        }
        for (const auto& c : ansi) {
            const auto blob = NewBlob(c.content, false, pieceSize);
            EXPECT_EQ(blob->GetSizeUni(), c.sizeUni) << pieceSize;
            EXPECT_EQ(blob->AsWideString().size() * 2, c.sizeUni) << pieceSize;
        }
    }
    ExpectAssertion([] { NewBlob("ab")->GetSizeAnsi(); }, "Assertion failure");
    ExpectAssertion([] { NewBlob("ab", true)->GetSizeUni(); }, "Assertion failure");
}

TEST(TCRBlobData, PositionsTranslateAtCharacterBoundaries) {
    // a П € 😀 b: UTF-16 bytes 0 2 4 6 10 12; the pair converts to one '?', so 8-bit 0 1 2 3 4 5.
    const std::u16string wide = u"aП€\U0001F600b";
    const std::pair<std::size_t, std::size_t> uniBoundaries[] = {{0, 0}, {2, 1},  {4, 2},
                                                                 {6, 3}, {10, 4}, {12, 5}};
    // cp1251 a CF 88 ? b: every byte is one UTF-16 unit.
    const std::string ansi = "a\xCF\x88?b";
    const std::pair<std::size_t, std::size_t> ansiBoundaries[] = {{0, 0}, {2, 1}, {4, 2},
                                                                  {6, 3}, {8, 4}, {10, 5}};
    ASSERT_EQ(platform::Utf16ToAnsi(wide), ansi);
    for (const std::size_t pieceSize : {std::size_t(1), std::size_t(3), DefaultPieceSize}) {
        const auto uni = NewData(pieceSize);
        uni->Write(0, wide.size() * 2, wide.data());
        const auto eight = NewData(pieceSize);
        eight->Write(0, ansi.size(), ansi.data());
        for (const auto& [uniPosition, ansiPosition] : uniBoundaries) {
            EXPECT_EQ(uni->TranslatePositionToAnsi(ansiPosition), uniPosition) << pieceSize;
            EXPECT_EQ(platform::Utf16ToAnsi(wide.substr(0, uniPosition / 2)).size(), ansiPosition);
        }
        for (const auto& [uniPosition, ansiPosition] : ansiBoundaries) {
            EXPECT_EQ(eight->TranslatePositionToUni(uniPosition), ansiPosition) << pieceSize;
        }
        for (const std::size_t beyond : {6, 7}) {
            ExpectError([&] { uni->TranslatePositionToAnsi(beyond); }, "Invalid BLOB position");
        }
        // Odd positions fall inside a unit; 12 and 14 lie beyond the content.
        for (const std::size_t invalid : {1, 3, 9, 11, 12, 14}) {
            ExpectError([&] { eight->TranslatePositionToUni(invalid); }, "Invalid BLOB position");
        }
        EXPECT_EQ(uni->GetSizeAnsi(), ansi.size());
        EXPECT_EQ(eight->GetSizeUni(), ansi.size() * 2);
    }
}

TEST(TBlob, LineBreaks) {
    const struct {
        bool addCR;
        std::string text;
        std::string result;
    } cases[] = {
        {true, "a\nb", "a\r\nb"},
        {true, "a\r\nb", "a\r\nb"},
        {true, "\n\n", "\r\n\r\n"},
        {true, "a\rb", "a\rb"},
        {true, "\r\r\n", "\r\r\n"},
        {true, "a\r", "a\r"},
        {true, "", ""},
        {false, "a\r\nb", "a\nb"},
        {false, "\r\r\n", "\r\n"},
        {false, "a\rb\n", "a\rb\n"},
        {false, "a\r", "a\r"},
        {false, "\r\n\r\n", "\n\n"},
    };
    for (const bool isUnicode : {false, true}) {
        for (const std::size_t pieceSize : {1, 2, 3, 64}) {
            for (const auto& c : cases) {
                const auto blob = NewBlob("", isUnicode, pieceSize);
                blob->SetAsAnsiString(c.text);
                if (c.addCR) {
                    blob->AddCR();
                } else {
                    blob->RemoveCR();
                }
                EXPECT_EQ(blob->AsAnsiString(), c.result)
                    << (isUnicode ? "UTF-16 " : "8-bit ") << pieceSize << " " << c.addCR;
                ExpectWellFormed(*blob->Data());
            }
        }
    }
    // New pieces have room for the result: AddCR twice the input, RemoveCR the input.
    const auto added = NewBlob("a\nb", false, 100);
    added->AddCR();
    EXPECT_EQ(Pieces(*added->Data()), (Layout{{6, 4}}));
    const auto removed = NewBlob("a\r\nb", false, 100);
    removed->RemoveCR();
    EXPECT_EQ(Pieces(*removed->Data()), (Layout{{4, 3}}));
}

TEST(TBlob, AssignCopiesFormAndContent) {
    const std::string content = Bytes(std::u16string(35000, u'ж'));
    const auto source = NewBlob(content, true, 1000);
    const auto blob = NewBlob("old");
    blob->Assign(*source);
    EXPECT_TRUE(blob->IsUnicode());
    EXPECT_EQ(ReadAll(*blob), content);
    EXPECT_NE(blob->Data(), source->Data());
    blob->Assign(*blob);
    EXPECT_EQ(ReadAll(*blob), content);
}

// ---- Compressed blobs ----

std::string Deflate(const std::string& plain) {
    uLongf length = compressBound(plain.size());
    std::string stream(length, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(stream.data()), &length,
                       reinterpret_cast<const Bytef*>(plain.data()), plain.size()),
              Z_OK);
    stream.resize(length);
    return stream;
}

std::string CompressedForm(std::uint32_t size, const std::string& stream) {
    std::string bytes(reinterpret_cast<const char*>(CCompressBlobHeaderGuid), 16);
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<char>(size >> 8 * i));
    }
    return bytes + stream;
}

TReference<TCompressedBlob> NewCompressedBlob(const std::string& bytes, bool isUnicode = false,
                                              std::size_t pieceSize = DefaultPieceSize) {
    TReference<TCompressedBlob> blob(new TCompressedBlob(isUnicode));
    blob->SetPieceSize(pieceSize);
    blob->Write(0, bytes.size(), bytes.data());
    return blob;
}

TEST(TCompressedBlob, OnlyContentThatGainsIsCompressed) {
    for (const std::string& content : {Pattern(30), RandomBytes(1000, 1), std::string()}) {
        const auto blob = NewCompressedBlob(content);
        blob->SetCompressed(true);
        EXPECT_FALSE(blob->Compressed()) << content.size();
        EXPECT_EQ(StoredBytes(*blob->Data()), content);
    }
}

TEST(TCompressedBlob, RepetitiveContentBecomesOneCompressedPiece) {
    const std::string content = Repetitive(1000);
    const auto blob = NewCompressedBlob(content, false, 300);
    blob->SetCompressed(true);
    ASSERT_TRUE(blob->Compressed());
    const std::string stored = StoredBytes(*blob->Data());
    EXPECT_EQ(Pieces(*blob->Data()).size(), 1u);
    EXPECT_EQ(stored.substr(0, 20), CompressedForm(1000, ""));
    EXPECT_EQ(stored.substr(16, 4), std::string("\xE8\x03\x00\x00", 4));
    EXPECT_EQ(blob->CompressedSize(), stored.size());
    EXPECT_LT(stored.size(), 1000u);
    EXPECT_EQ(blob->Size(), 1000u);

    // A read of everything inflates into the destination and leaves the content compressed.
    EXPECT_EQ(ReadAll(*blob), content);
    std::string whole(1000, '\0');
    EXPECT_EQ(blob->Read(0, 0, whole.data()), 1000u);
    EXPECT_EQ(whole, content);
    EXPECT_TRUE(blob->Compressed());

    // Any other read decompresses first.
    char part[5];
    EXPECT_EQ(blob->Read(10, 5, part), 5u);
    EXPECT_EQ(std::string(part, 5), content.substr(10, 5));
    EXPECT_FALSE(blob->Compressed());
    EXPECT_EQ(Pieces(*blob->Data()), (Layout{{1000, 1000}}));
    ExpectError([&] { blob->CompressedSize(); }, "Blob is not compressed");
}

TEST(TCompressedBlob, RoundTrips) {
    for (const std::size_t size : {51, 1000, 200000}) {
        const std::string content = Repetitive(size - size / 20, static_cast<unsigned>(size)) +
                                    RandomBytes(size / 20, static_cast<unsigned>(size));
        const auto blob = NewCompressedBlob(content, false, 7000);
        blob->SetCompressed(true);
        EXPECT_TRUE(blob->Compressed()) << size;
        EXPECT_EQ(blob->AsAnsiString(), content) << size;
        blob->SetCompressed(false);
        EXPECT_FALSE(blob->Compressed()) << size;
        EXPECT_EQ(StoredBytes(*blob->Data()), content) << size;
    }
}

TEST(TCompressedBlob, WritesAndSizesOfCompressedContent) {
    const std::string content = Repetitive(1000);
    const auto compressed = [&] {
        auto blob = NewCompressedBlob(content);
        blob->SetCompressed(true);
        EXPECT_TRUE(blob->Compressed());
        return blob;
    };

    // Replacing the whole content keeps it compressed when that gains, else stores it plainly.
    auto blob = compressed();
    const std::string other = Repetitive(1000, 5);
    blob->Write(0, other.size(), other.data());
    EXPECT_TRUE(blob->Compressed());
    EXPECT_EQ(ReadAll(*blob), other);
    const std::string noise = RandomBytes(1000, 2);
    blob->Write(0, noise.size(), noise.data());
    EXPECT_FALSE(blob->Compressed());
    EXPECT_EQ(StoredBytes(*blob->Data()), noise);

    blob = compressed();
    blob->Write(998, 4, "WXYZ");
    EXPECT_FALSE(blob->Compressed());
    EXPECT_EQ(ReadAll(*blob), content.substr(0, 998) + "WXYZ");

    blob = compressed();
    blob->Truncate(10);
    EXPECT_FALSE(blob->Compressed());
    EXPECT_EQ(ReadAll(*blob), content.substr(0, 10));

    blob = compressed();
    blob->SetSize(1000);
    EXPECT_TRUE(blob->Compressed());
    ExpectAssertion([&] { blob->SetSize(999); }, "Assertion failure");
    blob->SetSize(0);
    EXPECT_TRUE(blob->IsEmpty());

    blob = compressed();
    blob->Truncate(0);
    EXPECT_TRUE(blob->IsEmpty());
}

TEST(TCompressedBlob, InvalidCompressedContentIsRefused) {
    const std::string stream = Deflate(Pattern(1000));
    const struct {
        std::string stored;
        std::string error;
    } cases[] = {
        {Pattern(10), "Invalid compressed blob size"},
        {CompressedForm(1000, ""), "Invalid compressed blob size"},
        {Pattern(30), "Invalid compressed blob header"},
        {CompressedForm(1000, RandomBytes(200, 3)), "Invalid compressed blob data"},
        {CompressedForm(1000, stream.substr(0, stream.size() - 10)),
         "Invalid compressed blob data"},
        {CompressedForm(1000, Deflate(Pattern(500))), "Invalid uncompressed blob size"},
        {CompressedForm(100, stream), "ZLib error: target buffer may be too small"},
    };
    for (const auto& c : cases) {
        const auto blob = NewCompressedBlob(c.stored, false, 16);
        ExpectError([&] { blob->SetCompressed(false); }, c.error);
        EXPECT_EQ(StoredBytes(*blob->Data()), c.stored) << c.error;
        if (blob->Compressed()) {
            std::string out(blob->Size(), '\0');
            ExpectError([&] { blob->Read(0, 0, out.data()); }, c.error);
            ExpectError([&] { blob->Read(1, 5, out.data()); }, c.error);
            ExpectError([&] { blob->Write(1, 1, "x"); }, c.error);
            EXPECT_EQ(StoredBytes(*blob->Data()), c.stored) << c.error;
        }
    }
    const auto zeroSize = NewCompressedBlob(CompressedForm(0, stream));
    ExpectAssertion([&] { zeroSize->Size(); }, "Assertion failure");
}

// Replaces the compression routines for one test.
class RoutinesGuard {
public:
    RoutinesGuard(data_access::TCompressProc compress, data_access::TUncompressProc uncompress)
        : FCompress(data_access::CompressProc), FUncompress(data_access::UncompressProc) {
        data_access::CompressProc = compress;
        data_access::UncompressProc = uncompress;
    }
    ~RoutinesGuard() {
        data_access::CompressProc = FCompress;
        data_access::UncompressProc = FUncompress;
    }

private:
    data_access::TCompressProc FCompress;
    data_access::TUncompressProc FUncompress;
};

TEST(TCompressedBlob, MissingRoutines) {
    const std::string content = Repetitive(1000);
    const auto blob = NewCompressedBlob(content);
    {
        const RoutinesGuard guard(nullptr, data_access::UncompressProc);
        ExpectError([&] { blob->SetCompressed(true); }, "Compressor function is not linked");
        EXPECT_EQ(StoredBytes(*blob->Data()), content);
    }
    blob->SetCompressed(true);
    const std::string stored = StoredBytes(*blob->Data());
    {
        const RoutinesGuard guard(data_access::CompressProc, nullptr);
        std::string out(1000, '\0');
        ExpectError([&] { blob->Read(0, 0, out.data()); }, "Uncompressor function is not linked");
    }
    {
        const RoutinesGuard guard(nullptr, data_access::UncompressProc);
        ExpectError([&] { blob->Write(0, 1000, content.data()); },
                    "Compressor function is not linked");
    }
    EXPECT_EQ(StoredBytes(*blob->Data()), stored);
}

TEST(TCompressedBlob, DeflateFailureLeavesTheContent) {
    const auto failing = [](const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t&) {
        throw platform::Exception("ZLib error: target buffer may be too small");
    };
    const RoutinesGuard guard(failing, data_access::UncompressProc);
    const std::string content = Repetitive(1000);
    const auto blob = NewCompressedBlob(content);
    blob->SetCompressed(true);
    EXPECT_FALSE(blob->Compressed());
    EXPECT_EQ(StoredBytes(*blob->Data()), content);
}

TEST(TCompressedBlob, RollbackAndClonesKeepTheirForm) {
    const std::string content = Repetitive(1000);
    const auto blob = NewCompressedBlob(content);
    blob->SetCompressed(true);
    const std::string stored = StoredBytes(*blob->Data());
    blob->EnableRollback();
    blob->Write(500, 3, "abc");
    EXPECT_FALSE(blob->Compressed());
    blob->Cancel();
    EXPECT_TRUE(blob->Compressed());
    EXPECT_EQ(StoredBytes(*blob->Data()), stored);

    const TReference<TBlob> clone(blob->Clone(false, false));
    EXPECT_NE(dynamic_cast<TCompressedBlob*>(clone.get()), nullptr);
    clone->Write(0, content.size(), content.data());
    static_cast<TCompressedBlob&>(*clone).SetCompressed(true);
    EXPECT_EQ(ReadAll(*clone), content);
}

TEST(TCompressedBlob, TextOperationsSeeTheContent) {
    std::u16string text;
    for (int i = 0; i < 200; ++i) {
        text += u"ab\nж\U0001F600";
    }
    const auto blob = NewCompressedBlob(Bytes(text), true);
    blob->SetCompressed(true);
    ASSERT_TRUE(blob->Compressed());
    EXPECT_EQ(blob->GetSizeAnsi(), 200u * 5);

    blob->SetCompressed(true);
    ASSERT_TRUE(blob->Compressed());
    blob->AddCR();
    std::u16string expected;
    for (int i = 0; i < 200; ++i) {
        expected += u"ab\r\nж\U0001F600";
    }
    EXPECT_EQ(blob->AsWideString(), expected);
}

}  // namespace
