#pragma once

// rfid-soak --readers N: a line of N headless stations on one computer, one `rfidctl run` per reader of
// one emulated bus, all writing one batch; the operator goes from reader to reader, taking the written
// card away and laying a blank one, as a person does. The same operator then works one reader alone, so
// the figures show what the readers beside each other add: cards per hour against one reader.

// Runs both lines with cards numbers each and prints the figures; 0 when every number of each batch is on
// exactly one card and every station ended with the batch done, 1 otherwise.
int RunReaderLine(int readers, int cards, unsigned seed);
