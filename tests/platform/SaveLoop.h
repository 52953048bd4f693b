#pragma once

#include <QByteArray>

// The two contents that the save_loop helper saves in turn: a few megabytes
// each, so that a save takes a moment, of different lengths and bytes, so
// that no part of one is mistaken for the other.
inline QByteArray saveLoopContent(int turn)
{
    return turn % 2 ? QByteArray(3 << 20, 'b') : QByteArray(4 << 20, 'a');
}
