// What the point-cache fuzz targets and the corpus replay do with one input.
#pragma once

#include <cstddef>
#include <cstdint>

// Opens the bytes as a .zmdd cache and decodes frames forwards, backwards and
// by jumps; every decoded value is read. Never crashes on any input.
void zeFuzzZmddOne(const uint8_t* data, std::size_t size);
// Parses the bytes as a .zpnts table and checks its entries against a bound.
void zeFuzzZpntsOne(const uint8_t* data, std::size_t size);
// Parses the bytes as a .zmorph file and reads every target it gave.
void zeFuzzZmorphOne(const uint8_t* data, std::size_t size);
