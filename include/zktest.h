// SPDX-License-Identifier: MIT
// The one header a zktest test program includes.
#ifndef ZKTEST_H
#define ZKTEST_H

#include "zkqe_export.h"
#include "zkqe_output.h"
#include "zkqe_mutex.h"
#include "zkqe_status.h"
#include "zkqe_cmdline.h"
#include "zkqe_streams.h"
#include "zkmemstats.h"
#include "zkoptions.h"
#include "zktest_vector.h"
#include "zkqe_test.h"
#include "zkqe_check.h"

#endif
