#pragma once
// The one translation of what a Jet file's contents cause (not Jet, damaged,
// too large to hold) into the engine's errors, for the reader and the writer.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/Errors.h"
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Header.h"

#include <QString>

#include <new>

namespace dao::jet::detail {

// Runs `f`, turning what the file's contents cause into the engine's errors.
template <class F>
auto guarded(const QString& path, F&& f) {
    try {
        return f();
    } catch (const NotJet&) {
        throw errors::unrecognizedFormat(path);
    } catch (const Damaged&) {
        throw errors::corrupt(path);
    } catch (const std::bad_alloc&) {
        throw errors::outOfMemory(path);
    }
}

} // namespace dao::jet::detail
