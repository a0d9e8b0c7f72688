#include "cipher/utf8.h"

#include <gtest/gtest.h>
