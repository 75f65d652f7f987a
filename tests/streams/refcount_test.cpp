// qe_refcount<qe_filebuf>: sharing one buffer, the last handle closing it,
// assignment (to itself too), null handles and the count's upper limit.
#include "stream_test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

using zktest_support::readFile;
using zktest_support::TempDir;

using Handle = qe_refcount<qe_filebuf>;

// Reads the shared record through the handle's own protected share
// operation, giving the extra reference back at once.
class HandleProbe : public Handle {
public:
    using Handle::Handle;
    qe_ref* record() {
        qe_ref* shared = incrReference();
        if (shared != nullptr)
            --shared->refCount;
        return shared;
    }
};

TEST(HandleNull, DefaultAndNullBufferHandles) {
    Handle empty;
    EXPECT_EQ(nullptr, empty());
    EXPECT_EQ(nullptr, empty.operator->());
    Handle copyOfEmpty(empty);
    EXPECT_EQ(nullptr, copyOfEmpty());

    // A null buffer still gets a record; destroying the handle frees only it.
    HandleProbe fromNull(static_cast<qe_filebuf*>(nullptr));
    EXPECT_EQ(nullptr, fromNull.operator->());
    EXPECT_EQ(nullptr, fromNull());
    ASSERT_NE(nullptr, fromNull.record());
    EXPECT_EQ(1, fromNull.record()->refCount);
}

TEST(HandleSharing, LastHandleClosesTheFile) {
    TempDir dir;
    const std::string path = dir.file("shared.txt");
    auto* second = new HandleProbe(new qe_filebuf(path.c_str(), qe_filebuf::truncate));
    qe_filebuf* buffer = (*second)();
    EXPECT_EQ(1, second->record()->refCount);
    {
        HandleProbe first(*second);
        EXPECT_EQ(buffer, first());
        EXPECT_EQ(2, first.record()->refCount);
        first->puts("from first;");
    }
    EXPECT_EQ(1, second->record()->refCount);
    EXPECT_EQ(1, (*second)->is_open());
    (*second)->puts("from second");
    EXPECT_EQ("", readFile(path)); // still buffered in the open file
    delete second;
    EXPECT_EQ("from first;from second", readFile(path));
}

TEST(HandleAssignment, SoleHolderLetsGoOfItsBufferAndShares) {
    TempDir dir;
    const std::string pathA = dir.file("a.txt");
    const std::string pathB = dir.file("b.txt");
    HandleProbe a(new qe_filebuf(pathA.c_str(), qe_filebuf::truncate));
    HandleProbe b(new qe_filebuf(pathB.c_str(), qe_filebuf::truncate));
    a->puts("only in a");
    EXPECT_EQ("", readFile(pathA));
    a = b;
    // A's old buffer was deleted, which closed and completed its file.
    EXPECT_EQ("only in a", readFile(pathA));
    EXPECT_EQ(b(), a());
    EXPECT_EQ(b.record(), a.record());
    EXPECT_EQ(2, a.record()->refCount);
    a->puts("b through a");
    b->flush();
    EXPECT_EQ("b through a", readFile(pathB));
}

TEST(HandleAssignment, AssigningAHandleToItselfKeepsItsBuffer) {
    TempDir dir;
    const std::string path = dir.file("self.txt");
    HandleProbe only(new qe_filebuf(path.c_str(), qe_filebuf::truncate));
    qe_filebuf* buffer = only();
    Handle& sameHandle = only;
    Handle& alsoTheSameHandle = only;
    sameHandle = alsoTheSameHandle;
    EXPECT_EQ(buffer, only());
    EXPECT_EQ(1, only.record()->refCount);
    EXPECT_EQ(1, only->is_open());

    // Two handles on one record assigned to each other keep the count.
    Handle other(only);
    other = only;
    EXPECT_EQ(2, only.record()->refCount);
}

TEST(HandleLimit, ShareBeyondTheLargestCountGivesANullHandle) {
    HandleProbe full(new qe_filebuf);
    Handle::qe_ref* record = full.record();
    ASSERT_NE(nullptr, record);
    record->refCount = INT_MAX - 1;
    {
        Handle last(full); // INT_MAX - 1 -> INT_MAX is still a share
        EXPECT_EQ(full(), last());
        EXPECT_EQ(INT_MAX, record->refCount);

        Handle refused(full);
        EXPECT_EQ(nullptr, refused());
        EXPECT_EQ(INT_MAX, record->refCount);

        Handle assigned;
        assigned = full;
        EXPECT_EQ(nullptr, assigned());
        EXPECT_EQ(INT_MAX, record->refCount);
    }
    // The two null handles released nothing; `last` gave back its share.
    EXPECT_EQ(INT_MAX - 1, record->refCount);
    record->refCount = 1; // the shares counted by hand were never made
}

} // namespace
