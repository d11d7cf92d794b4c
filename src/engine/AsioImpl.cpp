// SPDX-License-Identifier: GPL-3.0-or-later
// Asio's non-template code, compiled once for every user of fw_engine (ASIO_SEPARATE_COMPILATION).
#include <asio/impl/src.hpp>
