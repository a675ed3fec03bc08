#pragma once

// Inputs the benchmarks share: event bodies and messages as a face-recognition device pushes
// them, a markup-dense document and Base64 texts. All are made from a fixed seed, so every run
// measures the same bytes.

#include <cstddef>
#include <string>

// Random bytes standing in for a JPEG picture.
std::string RandomBytes(std::size_t size, unsigned seed);

// Plain Base64 of bytes (no line breaks).
std::string Base64Text(const std::string& bytes);

// The same text with CR LF after every 76 characters (none after the last line).
std::string Base64Lines(const std::string& bytes);

// A face-match event body ("<?xml" first) with three Base64 pictures of pictureBytes each
// (snap, album and source) among the usual face and rule elements.
std::string FaceMatchBody(std::size_t pictureBytes);

// A document of about `bytes` bytes with thousands of small elements, most of them with
// attributes, nested three to four levels.
std::string DenseMarkup(std::size_t bytes);

// The whole pushed message: request line, headers with "Content-Length:" followed by
// "Content-Type", a blank line and the body.
std::string EventMessage(const std::string& body);
