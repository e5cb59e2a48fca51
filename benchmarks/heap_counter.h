#pragma once

// Every heap allocation the process makes through operator new is counted
// (heap_counter.cpp replaces it), so a benchmark can say how many a measured
// step made: a step that copied the whole list would make one per line.
namespace tolvane::bench {

long long HeapAllocations();
long long HeapBytesAllocated();

}  // namespace tolvane::bench
