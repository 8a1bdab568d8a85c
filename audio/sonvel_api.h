#pragma once
// Marks what libsonvel.so exports to its hosts. The engine is compiled with
// hidden symbols, so only the classes and functions marked here are the
// library's binary interface.
#define SONVEL_API __attribute__((visibility("default")))
