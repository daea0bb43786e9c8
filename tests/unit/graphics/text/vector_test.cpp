#include "graphics/text/vector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> items(const vector_t* v) {
    std::vector<int> result;
    for (size_t i = 0; i < vector_size(v); ++i) {
        result.push_back(*static_cast<const int*>(vector_get(v, i)));
    }
    return result;
}

vector_t* vectorOf(std::initializer_list<int> values) {
    vector_t* v = vector_new(sizeof(int));
    for (int value : values) {
        vector_push_back(v, &value);
    }
    return v;
}

int compareInts(const void* a, const void* b) {
    const int left = *static_cast<const int*>(a);
    const int right = *static_cast<const int*>(b);
    return (left > right) - (left < right);
}

}  // namespace

TEST(Vector, StartsEmptyWithRoomForOneAndDoublesWhenFull) {
    vector_t* v = vector_new(sizeof(int));
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(vector_empty(v));
    EXPECT_EQ(vector_size(v), 0u);
    EXPECT_EQ(vector_capacity(v), 1u);

    std::vector<size_t> capacities;
    for (int i = 0; i < 9; ++i) {
        vector_push_back(v, &i);
        capacities.push_back(vector_capacity(v));
    }
    EXPECT_EQ(capacities, (std::vector<size_t>{1, 2, 4, 4, 8, 8, 8, 8, 16}));
    EXPECT_EQ(items(v), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(vector_empty(v));
    vector_delete(v);
}

TEST(Vector, RefusesItemsOfNoBytes) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(vector_new(0), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("vector_new"), std::string::npos);
}

TEST(Vector, InsertsAtTheFrontInTheMiddleAndAtTheEndButNotPastIt) {
    vector_t* v = vectorOf({1, 2});
    const int zero = 0, middle = 15, last = 3, stray = 99;
    vector_insert(v, 0, &zero);
    vector_insert(v, 2, &middle);
    vector_insert(v, vector_size(v), &last);
    EXPECT_EQ(items(v), (std::vector<int>{0, 1, 15, 2, 3}));

    testing::internal::CaptureStderr();
    vector_insert(v, vector_size(v) + 1, &stray);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("past the end"), std::string::npos);
    EXPECT_EQ(items(v), (std::vector<int>{0, 1, 15, 2, 3}));

    const int block[3] = {7, 8, 9};
    vector_insert_data(v, 1, block, 3);
    vector_push_back_data(v, block, 2);
    vector_insert_data(v, 0, block, 0);
    EXPECT_EQ(items(v), (std::vector<int>{0, 7, 8, 9, 1, 15, 2, 3, 7, 8}));
    vector_delete(v);
}

TEST(Vector, CopiesAnItemOfItsOwnBeforeGrowingOrShifting) {
    // Size equals capacity: pushing the first item reallocates the storage it lives in.
    vector_t* v = vectorOf({5, 6});
    ASSERT_EQ(vector_size(v), vector_capacity(v));
    vector_push_back(v, vector_get(v, 0));
    EXPECT_EQ(items(v), (std::vector<int>{5, 6, 5}));

    // Inserting in front shifts the item being copied.
    vector_insert(v, 0, vector_get(v, 1));
    EXPECT_EQ(items(v), (std::vector<int>{6, 5, 6, 5}));
    vector_insert_data(v, 1, vector_get(v, 0), 4);
    EXPECT_EQ(items(v), (std::vector<int>{6, 6, 5, 6, 5, 5, 6, 5}));
    vector_set(v, 2, vector_get(v, 2));
    EXPECT_EQ(items(v), (std::vector<int>{6, 6, 5, 6, 5, 5, 6, 5}));
    vector_delete(v);
}

TEST(Vector, ErasesSingleItemsAndRangesAtBothEnds) {
    vector_t* v = vectorOf({0, 1, 2, 3, 4, 5, 6});
    vector_erase(v, 0);
    vector_erase(v, vector_size(v) - 1);
    EXPECT_EQ(items(v), (std::vector<int>{1, 2, 3, 4, 5}));
    vector_erase_range(v, 1, 3);
    EXPECT_EQ(items(v), (std::vector<int>{1, 4, 5}));
    vector_erase_range(v, 3, 3);  // empty range at the end
    EXPECT_EQ(items(v), (std::vector<int>{1, 4, 5}));

    testing::internal::CaptureStderr();
    vector_erase(v, 3);
    vector_erase_range(v, 2, 1);
    vector_erase_range(v, 1, 4);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("vector_erase: index 3 outside 3 items"), std::string::npos);
    EXPECT_NE(errors.find("vector_erase_range: range 2..1"), std::string::npos);
    EXPECT_NE(errors.find("vector_erase_range: range 1..4"), std::string::npos);
    EXPECT_EQ(items(v), (std::vector<int>{1, 4, 5}));

    const size_t capacity = vector_capacity(v);
    vector_erase_range(v, 0, 3);
    EXPECT_TRUE(vector_empty(v));
    EXPECT_EQ(vector_capacity(v), capacity);
    vector_delete(v);
}

TEST(Vector, AnswersNothingOutsideItsItems) {
    vector_t* v = vector_new(sizeof(int));
    testing::internal::CaptureStderr();
    EXPECT_EQ(vector_get(v, 0), nullptr);
    EXPECT_EQ(vector_front(v), nullptr);
    EXPECT_EQ(vector_back(v), nullptr);
    vector_pop_back(v);
    const int value = 4;
    vector_set(v, 0, &value);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("vector_pop_back: empty vector"), std::string::npos);
    EXPECT_NE(errors.find("vector_set: index 0 outside 0 items"), std::string::npos);
    EXPECT_EQ(vector_size(v), 0u);

    vector_push_back(v, &value);
    vector_push_back(v, &value);
    testing::internal::CaptureStderr();
    EXPECT_EQ(vector_get(v, 2), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("vector_get: index 2 outside 2 items"),
              std::string::npos);
    EXPECT_EQ(vector_front(v), vector_get(v, 0));
    EXPECT_EQ(vector_back(v), vector_get(v, 1));
    vector_pop_back(v);
    vector_pop_back(v);
    EXPECT_TRUE(vector_empty(v));
    vector_delete(v);

    // A missing vector is reported, not dereferenced.
    testing::internal::CaptureStderr();
    EXPECT_EQ(vector_get(nullptr, 0), nullptr);
    vector_push_back(nullptr, &value);
    EXPECT_EQ(vector_size(nullptr), 0u);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no vector given"), std::string::npos);
}

TEST(Vector, ResizesWithZeroedItemsAndReservesOrShrinksCapacity) {
    vector_t* v = vectorOf({7, 8, 9});
    vector_resize(v, 6);
    EXPECT_EQ(items(v), (std::vector<int>{7, 8, 9, 0, 0, 0}));
    vector_resize(v, 2);
    EXPECT_EQ(items(v), (std::vector<int>{7, 8}));
    // Growing again must not bring back the old values.
    vector_resize(v, 3);
    EXPECT_EQ(items(v), (std::vector<int>{7, 8, 0}));

    vector_reserve(v, 100);
    EXPECT_EQ(vector_capacity(v), 100u);
    vector_reserve(v, 10);
    EXPECT_EQ(vector_capacity(v), 100u);
    vector_shrink(v);
    EXPECT_EQ(vector_capacity(v), 3u);
    EXPECT_EQ(items(v), (std::vector<int>{7, 8, 0}));

    vector_clear(v);
    EXPECT_EQ(vector_size(v), 0u);
    EXPECT_EQ(vector_capacity(v), 3u);
    vector_shrink(v);
    EXPECT_EQ(vector_capacity(v), 1u);
    vector_delete(v);
}

TEST(Vector, SortsAndFindsItems) {
    vector_t* v = vectorOf({4, -2, 9, 0, 4});
    vector_sort(v, compareInts);
    EXPECT_EQ(items(v), (std::vector<int>{-2, 0, 4, 4, 9}));
    const int present = 9, absent = 3;
    EXPECT_EQ(vector_contains(v, &present, compareInts), 1);
    EXPECT_EQ(vector_contains(v, &absent, compareInts), 0);
    vector_delete(v);
}

TEST(Vector, CopiesWholeItemsOfAnySize) {
    struct Wide {
        double a;
        char tag[13];
    };
    vector_t* v = vector_new(sizeof(Wide));
    for (int i = 0; i < 5; ++i) {
        Wide item{i * 1.5, "item"};
        item.tag[4] = static_cast<char>('0' + i);
        vector_insert(v, 0, &item);
    }
    ASSERT_EQ(vector_size(v), 5u);
    for (int i = 0; i < 5; ++i) {
        const Wide* item = static_cast<const Wide*>(vector_get(v, i));
        EXPECT_DOUBLE_EQ(item->a, (4 - i) * 1.5);
        EXPECT_EQ(std::string(item->tag), "item" + std::to_string(4 - i));
    }
    vector_delete(v);
}
