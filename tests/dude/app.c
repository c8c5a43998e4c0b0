/* A small AVR program whose ELF file carries flash, EEPROM and fuse sections, as a project's
   would: the tests of velkorisp-dude build it with avr-gcc and compare against avr-objcopy. */
#include <avr/eeprom.h>
#include <avr/fuse.h>
#include <avr/io.h>

FUSES = {.low = 0xE4, .high = 0xD9};

uint8_t EEMEM calibration[6] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};

/* Initialised data: stored in flash after the code, copied to RAM at start-up. */
volatile uint8_t pattern[8] = {1, 2, 4, 8, 16, 32, 64, 128};

int main(void) {
    DDRB = 0xFF;
    for (uint8_t i = 0;; i = (uint8_t)((i + 1) & 7)) PORTB = pattern[i];
}
