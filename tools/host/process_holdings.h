// What this process holds, as /proc tells it: resident memory, threads and open descriptors.
// The host program prints them around many opens and closes of an editor; the tests hold
// them flat.
#pragma once

// Each is -1 when /proc cannot be read.
long residentKilobytes();
int threadCount();
// The listing's own descriptor is not counted.
int openDescriptorCount();
