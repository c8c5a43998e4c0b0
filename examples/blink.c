/* Example firmware for the demo run: blinks an LED on PB0 of an ATmega8 and keeps a
 * start counter and a greeting in EEPROM. Built with:
 *   avr-gcc -mmcu=atmega8 -Os -DF_CPU=1000000UL -o blink.elf blink.c
 *   avr-objcopy -O ihex -R .eeprom blink.elf blink.hex
 *   avr-objcopy -O ihex -j .eeprom --change-section-lma .eeprom=0 blink.elf blink.eep
 */
#include <avr/eeprom.h>
#include <avr/io.h>
#include <util/delay.h>

uint16_t EEMEM start_count = 0;
char EEMEM greeting[] = "VelkorISP demo";

static const char pattern[] = {1, 0, 1, 1, 0, 0, 1, 0};

int main(void) {
    uint16_t starts = eeprom_read_word(&start_count);
    eeprom_write_word(&start_count, starts + 1);
    DDRB |= _BV(PB0);
    for (;;) {
        for (uint8_t i = 0; i < sizeof pattern; ++i) {
            if (pattern[i]) {
                PORTB |= _BV(PB0);
            } else {
                PORTB &= (uint8_t)~_BV(PB0);
            }
            _delay_ms(250);
        }
    }
}
