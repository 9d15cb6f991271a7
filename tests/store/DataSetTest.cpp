#include "store/DatabaseError.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { SUCCEED(); }
