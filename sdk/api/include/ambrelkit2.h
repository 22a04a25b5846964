/* Public interface of libambrelkit2-x64: plain C (C99 or later) and C++. */
#ifndef AMBRELKIT2_H
#define AMBRELKIT2_H

#include "ambrelkit2/base.h"
#include "ambrelkit2/scanner.h"
#include "ambrelkit2/sensor.h"
#include "ambrelkit2/parameters.h"
#include "ambrelkit2/callbacks.h"
#include "ambrelkit2/families.h"
#include "ambrelkit2/crc32.h"

#endif /* AMBRELKIT2_H */
