// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// Symbol visibility for the LED library: the library is built with hidden visibility, so only
// what carries LED_EXPORT is part of its binary interface.
#pragma once

#include <QtCore/qglobal.h>

#if defined(LED_BUILDING_LIBRARY)
#define LED_EXPORT Q_DECL_EXPORT
#else
#define LED_EXPORT Q_DECL_IMPORT
#endif
