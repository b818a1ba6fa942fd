#!/usr/bin/env python3
"""Independent reference for the plugin's random draws: MT19937 written from the published
algorithm (Matsumoto & Nishimura) and Lemire's multiply-and-reject with Python's big
integers. Prints the table that tests/plugin/EventRandomTest.cpp checks against."""


class MT19937:
    def __init__(self, seed):
        self.mt = [0] * 624
        self.mt[0] = seed & 0xFFFFFFFF
        for i in range(1, 624):
            prev = self.mt[i - 1]
            self.mt[i] = (1812433253 * (prev ^ (prev >> 30)) + i) & 0xFFFFFFFF
        self.index = 624

    def next(self):
        if self.index >= 624:
            for i in range(624):
                y = (self.mt[i] & 0x80000000) | (self.mt[(i + 1) % 624] & 0x7FFFFFFF)
                self.mt[i] = self.mt[(i + 397) % 624] ^ (y >> 1) ^ (0x9908B0DF if y & 1 else 0)
            self.index = 0
        y = self.mt[self.index]
        self.index += 1
        y ^= y >> 11
        y ^= (y << 7) & 0x9D2C5680
        y ^= (y << 15) & 0xEFC60000
        y ^= y >> 18
        return y


def random_int(engine, lo, hi):
    """Uniform over [lo, hi] by multiply-and-reject: each value gets exactly
    floor(2^32 / range) of the 2^32 engine outputs."""
    size = hi - lo + 1
    if size == 2 ** 32:
        return lo + engine.next()
    while True:
        product = engine.next() * size
        if product % 2 ** 32 >= (2 ** 32 - size) % size:
            return lo + product // 2 ** 32


if __name__ == "__main__":
    check = MT19937(5489)
    for _ in range(9999):
        check.next()
    assert check.next() == 4123659995  # the value the C++ standard requires

    ranges = [(0, 9), (-100, 100), (1, 3), (-5, 5), (0, 2 ** 31 - 1), (-2 ** 31, 2 ** 31 - 1),
              (7, 7), (-2 ** 31, 0), (0, 2 ** 31 + 2 ** 30 - 2 ** 31 - 1)]
    engine = MT19937(20261208)
    draws = []
    for round_ in range(4):
        for lo, hi in ranges:
            draws.append((lo, hi, random_int(engine, lo, hi)))
    for lo, hi, value in draws:
        print(f"        {{{lo}, {hi}, {value}}},")
