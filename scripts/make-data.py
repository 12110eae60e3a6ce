#!/usr/bin/env python3
"""Writes the ZRD drive family's data set into data/.

The tables below are the one source of the data set: the parameter database
(Param_base.mod), the motor and drive type tables (Motor_type.mod, Drive_type.mod),
the message table (mess.dic), the window dictionary (dict_eng.dic) and the three
function-name lists (digital_inp.dic, digital_out.dic, analog_out.dic).

Run it from anywhere:  python3 scripts/make-data.py [--out DIR]
Then check the result: python3 scripts/check-data.py [DIR]

Encoding: every .dic file and Param_base.mod are written as UTF-8 with a byte-order
mark; the two type tables hold ASCII only and are written without a mark, so that
they read the same whether a reader honours the mark or takes the ANSI code page.
All lines end with CR LF.
"""

import argparse
import os
import sys

# ---------------------------------------------------------------------------------
# Parameter database
# ---------------------------------------------------------------------------------
#
# A parameter row: (Pname, Index, vType, pType, MinVal, MaxVal, scale, units_rus,
#                   units_eng, DefValue, EngName, RusName, Mode_mes, update_con)
# MinVal, MaxVal and DefValue are raw drive units; display = raw * scale.
# The line key (Numpar) is "p" followed by the drive index, so formulas name a
# parameter by its index: p70 is MT.
#
# update_con: 0 applied at once, 1 applied while the servo is disabled,
#             2 applied after a drive reset.
#
# A group: (IndexGroup, English name, Russian name, [subgroups]);
# a subgroup: (English name, Russian name, [rows]).

U, I = "UINT", "INT"
RW, R = "R-W", "R"


def row(name, index, vtype, ptype, lo, hi, scale, urus, ueng, default, eng, rus,
        mode=0, upd=0):
    return (name, index, vtype, ptype, lo, hi, scale, urus, ueng, default, eng, rus,
            mode, upd)


A_RU, A_EN = "А", "A"
MS_RU, MS_EN = "мс", "ms"
RPM_RU, RPM_EN = "об/мин", "rpm"
CNT_RU, CNT_EN = "имп", "cnts"

GROUP_DRIVE = (1, "Drive", "Привод", [
    ("Identification", "Идентификация", [
        # Table positions 0 and 1: the serial number shown in the main window.
        row("SNH", 250, U, "-", 0, 65535, 1, "", "", 1,
            "Serial number high word", "Серийный номер (старшее слово)"),
        row("SNL", 251, U, "-", 0, 65535, 1, "", "", 2345,
            "Serial number low word", "Серийный номер (младшее слово)"),
        row("HVER", 252, U, R, 0, 999, 0.1, "", "", 21,
            "Hardware version", "Версия аппаратуры"),
        row("FVER", 253, U, R, 0, 9999, 0.01, "", "", 215,
            "Firmware version", "Версия программы привода"),
        row("DT", 0, U, RW, 1, 10, 1, "", "", 6,
            "Drive type", "Тип привода", upd=2),
        row("DICONT", 1, U, R, 0, 20000, 0.01, A_RU, A_EN, 1600,
            "Drive continuous current", "Длительный ток привода"),
        row("DIPEAK", 2, U, R, 0, 60000, 0.01, A_RU, A_EN, 4800,
            "Drive peak current", "Пиковый ток привода"),
        row("DVBUS", 3, U, R, 0, 10000, 0.1, "В", "V", 5600,
            "Nominal DC bus voltage", "Номинальное напряжение звена"),
        row("PWMF", 4, U, RW, 8, 16, 1, "кГц", "kHz", 16,
            "PWM frequency", "Частота ШИМ", upd=2),
    ]),
    ("Operation", "Работа", [
        row("OPMOD", 5, U, RW, 1, 3, 1, "", "", 2,
            "Operating mode (1 current 2 speed 3 position)",
            "Режим работы (1 ток 2 скорость 3 положение)", upd=1),
        row("INST", 6, U, RW, 0, 3, 1, "", "", 3,
            "Command source (0 1 internal 2 pulse 3 analog)",
            "Источник задания (0 1 внутр. 2 импульсы 3 аналог)", upd=1),
        row("ENMOD", 7, U, RW, 0, 2, 1, "", "", 1,
            "Enable mode (0 input 1 PC 2 input and PC)",
            "Режим разрешения (0 вход 1 ПК 2 вход и ПК)", upd=1),
        row("AUTOEN", 8, U, RW, 0, 1, 1, "", "", 0,
            "Enable at power on", "Включение при подаче питания"),
        row("STPDEC", 9, U, RW, 1, 30000, 1, MS_RU, MS_EN, 200,
            "Stop deceleration time", "Время торможения при останове"),
        row("QSTOPT", 10, U, RW, 1, 10000, 1, MS_RU, MS_EN, 50,
            "Quick stop time", "Время быстрого останова"),
        row("BRKREL", 11, U, RW, 0, 2000, 1, MS_RU, MS_EN, 100,
            "Brake release delay", "Задержка отпускания тормоза"),
        row("BRKENG", 12, U, RW, 0, 2000, 1, MS_RU, MS_EN, 150,
            "Brake engage delay", "Задержка наложения тормоза"),
        row("REGEN", 13, U, RW, 0, 1, 1, "", "", 1,
            "Braking resistor enable", "Тормозной резистор включён"),
        row("REGRES", 14, U, RW, 1, 1000, 1, "Ом", "Ohm", 47,
            "Braking resistor value", "Сопротивление тормозного резистора"),
        row("REGPWR", 15, U, RW, 10, 5000, 1, "Вт", "W", 100,
            "Braking resistor power", "Мощность тормозного резистора"),
        row("UVLIM", 16, U, RW, 0, 8000, 0.1, "В", "V", 2000,
            "DC bus undervoltage level", "Порог пониженного напряжения звена"),
    ]),
    ("Communication", "Интерфейс связи", [
        row("ADDR", 17, U, RW, 1, 31, 1, "", "", 1,
            "Drive address", "Адрес привода", upd=2),
        row("BAUDSEL", 18, U, RW, 0, 9, 1, "", "", 9,
            "Baud rate code (9 is 115200)", "Код скорости обмена (9 это 115200)", upd=2),
        row("COMTO", 19, U, RW, 0, 60000, 1, MS_RU, MS_EN, 0,
            "Communication watchdog (0 off)", "Контроль связи (0 выкл.)"),
    ]),
    ("Function generator", "Генератор функций", [
        row("IIT", 20, U, RW, 0, 4, 1, "", "", 3,
            "Generator signal (1 const 2 square 3 sine 4 chirp)",
            "Сигнал генератора (1 пост. 2 меандр 3 синус 4 ЛЧМ)"),
        row("IIP1V", 21, I, RW, -6000, 6000, 1, "", "", 500,
            "Generator amplitude", "Амплитуда генератора"),
        row("IIP2V", 22, I, RW, -6000, 6000, 1, "", "", 0,
            "Generator offset", "Смещение генератора"),
        row("IIP3V", 23, U, RW, 0, 2000, 1, "", "", 100,
            "Generator period (chirp end frequency)",
            "Период генератора (конечная частота ЛЧМ)"),
        row("IIP4V", 24, U, RW, 0, 2000, 1, "", "", 50,
            "Generator pulse width (chirp start frequency)",
            "Длительность импульса (начальная частота ЛЧМ)"),
        row("IIP1U", 25, U, RW, 0, 1, 1, "", "", 0,
            "Amplitude unit (0 first 1 counts per second)",
            "Единица амплитуды (0 первая 1 имп/с)"),
        row("IIP2U", 26, U, RW, 0, 1, 1, "", "", 0,
            "Offset unit (0 first 1 counts per second)",
            "Единица смещения (0 первая 1 имп/с)"),
        row("IIP3U", 27, U, RW, 0, 2, 1, "", "", 0,
            "Period unit (0 ms 1 s 2 min)", "Единица периода (0 мс 1 с 2 мин)"),
        row("IIP4U", 28, U, RW, 0, 2, 1, "", "", 0,
            "Pulse width unit (0 ms 1 s 2 min)", "Единица длительности (0 мс 1 с 2 мин)"),
        row("PCRT", 29, U, RW, 0, 20000, 1, "", "", 0,
            "Generator repeat count (0 endless)", "Число повторов генератора (0 непрерывно)"),
    ]),
    ("Digital inputs", "Цифровые входы", [
        # Written through the inversion boxes of the appendix page, not on this row.
        row("DINLEV", 30, U, "W", 0, 255, 1, "", "", 0,
            "Digital input inversion mask", "Маска инверсии цифровых входов"),
    ] + [
        row("DIN%d" % k, 30 + k, U, RW, 0, 15, 1, "", "", d,
            "Digital input %d function" % k, "Функция цифрового входа %d" % k)
        for k, d in zip(range(1, 9), (1, 2, 3, 4, 5, 0, 0, 0))
    ] + [
        row("INFLT", 39, U, RW, 0, 100, 1, MS_RU, MS_EN, 2,
            "Digital input filter", "Фильтр цифровых входов"),
    ]),
    ("Digital outputs", "Цифровые выходы", [
        row("DOUT%d" % k, 39 + k, U, RW, 0, 13, 1, "", "", d,
            "Digital output %d function" % k, "Функция цифрового выхода %d" % k)
        for k, d in zip(range(1, 5), (1, 3, 9, 0))
    ] + [
        row("DOLEV", 44, U, RW, 0, 15, 1, "", "", 0,
            "Digital output inversion mask", "Маска инверсии цифровых выходов"),
    ]),
    ("Analog inputs and outputs", "Аналоговые входы и выходы", [
        row("AINOFF", 45, I, RW, -1000, 1000, 1, "мВ", "mV", 0,
            "Analog input offset", "Смещение аналогового входа"),
        row("AINDB", 46, U, RW, 0, 1000, 1, "мВ", "mV", 0,
            "Analog input dead band", "Зона нечувствительности аналогового входа"),
        row("AINFLT", 47, U, RW, 0, 1000, 0.1, MS_RU, MS_EN, 10,
            "Analog input filter time", "Постоянная фильтра аналогового входа"),
        row("AINSCV", 48, U, RW, 1, 20000, 1, RPM_RU, RPM_EN, 4500,
            "Speed at 10 V analog command", "Скорость при задании 10 В"),
        row("AINSCI", 49, U, RW, 1, 30000, 0.01, A_RU, A_EN, 1320,
            "Current at 10 V analog command", "Ток при задании 10 В"),
        row("AOUT1", 50, U, RW, 0, 10, 1, "", "", 1,
            "Analog output 1 function", "Функция аналогового выхода 1"),
        row("AOUT2", 51, U, RW, 0, 10, 1, "", "", 3,
            "Analog output 2 function", "Функция аналогового выхода 2"),
        row("AO1SCL", 52, U, RW, 1, 30000, 1, "", "", 3000,
            "Analog output 1 value at 10 V", "Значение аналогового выхода 1 при 10 В"),
        row("AO2SCL", 53, U, RW, 1, 30000, 1, "", "", 1000,
            "Analog output 2 value at 10 V", "Значение аналогового выхода 2 при 10 В"),
        row("AO1OFS", 54, I, RW, -1000, 1000, 1, "мВ", "mV", 0,
            "Analog output 1 offset", "Смещение аналогового выхода 1"),
        row("AO2OFS", 55, I, RW, -1000, 1000, 1, "мВ", "mV", 0,
            "Analog output 2 offset", "Смещение аналогового выхода 2"),
    ]),
    ("Oscilloscope", "Осциллограф", [
        # Written by the scope pages when they are shown.
        row("OSCMOD", 56, U, "W", 0, 1, 1, "", "", 0,
            "Oscilloscope mode (1 online 0 offline)", "Режим осциллографа (1 онлайн 0 офлайн)"),
        row("MDFRQ", 57, U, RW, 1, 4, 1, "", "", 1,
            "Online sample rate (1 1000 Hz to 4 125 Hz)",
            "Частота онлайн записи (1 1000 Гц ... 4 125 Гц)"),
        row("MDTYP1", 58, U, RW, 0, "NSIG", 1, "", "", "SIG:VSET",
            "Online channel 1 signal", "Сигнал онлайн канала 1"),
        row("MDTYP2", 59, U, RW, 0, "NSIG", 1, "", "", "SIG:VACT",
            "Online channel 2 signal", "Сигнал онлайн канала 2"),
        row("RCFREQ", 60, U, RW, 0, 9, 1, "", "", 2,
            "Offline tick code (0 0.25 ms to 9 128 ms)",
            "Код такта офлайн записи (0 0.25 мс ... 9 128 мс)"),
        row("CH1SEL", 61, U, RW, 0, "NSIG", 1, "", "", "SIG:VSET",
            "Offline channel 1 signal", "Сигнал офлайн канала 1"),
        row("CH2SEL", 62, U, RW, 0, "NSIG", 1, "", "", "SIG:VACT",
            "Offline channel 2 signal", "Сигнал офлайн канала 2"),
        row("CH3SEL", 63, U, RW, 0, "NSIG", 1, "", "", "SIG:ISET",
            "Offline channel 3 signal", "Сигнал офлайн канала 3"),
        row("CH4SEL", 64, U, RW, 0, "NSIG", 1, "", "", "SIG:IACT",
            "Offline channel 4 signal", "Сигнал офлайн канала 4"),
        row("TRGTYP", 65, U, RW, 0, 4, 1, "", "", 0,
            "Trigger type (0 none 1 rise 2 fall 3 full 4 generator)",
            "Тип запуска (0 нет 1 фронт 2 спад 3 буфер 4 генератор)"),
        row("TRGSRC", 66, U, RW, 1, 4, 1, "", "", 1,
            "Trigger source channel", "Канал запуска"),
        row("TRGLEV", 67, I, RW, -30000, 30000, 1, "", "", 0,
            "Trigger level (raw units of the source)", "Уровень запуска (единицы источника)"),
        row("TRGPOS", 68, U, RW, 0, 2047, 1, "", "", 0,
            "Pre-trigger samples", "Число точек до запуска"),
        row("OSCTRG", 69, U, R, 0, 2047, 1, "", "", 0,
            "Trigger sample of the last record", "Точка запуска последней записи"),
    ]),
])

GROUP_MOTOR = (2, "Motor", "Двигатель", [
    # 20 rows: the subgroup fills two pages.
    ("Motor data", "Данные двигателя", [
        row("MT", 70, U, RW, 1, 12, 1, "", "", 5,
            "Motor type", "Тип двигателя", upd=1),
        row("MPI", 71, U, RW, 0, 30000, 0.01, A_RU, A_EN, 1320,
            "Motor peak current", "Пиковый ток двигателя", upd=1),
        row("MICONT", 72, U, RW, 0, 30000, 0.01, A_RU, A_EN, 440,
            "Motor continuous current", "Длительный ток двигателя", upd=1),
        row("MKT", 73, U, RW, 1, 10000, 0.1, "Н·см/А", "N-cm/A", 540,
            "Torque constant", "Постоянная момента", upd=1),
        row("MKE", 74, U, RW, 1, 10000, 0.1, "В/тыс.об/мин", "V/krpm", 330,
            "Back EMF constant", "Постоянная противо-ЭДС", upd=1),
        row("MPOLES", 75, U, RW, 2, 64, 1, "", "", 8,
            "Number of motor poles", "Число полюсов двигателя", upd=1),
        row("MVMAX", 76, U, RW, 1, 20000, 1, RPM_RU, RPM_EN, 4500,
            "Maximum motor speed", "Максимальная скорость двигателя", upd=1),
        row("MVNOM", 77, U, RW, 1, 20000, 1, RPM_RU, RPM_EN, 3000,
            "Rated motor speed", "Номинальная скорость двигателя", upd=1),
        row("MRES", 78, U, RW, 1, 60000, 0.001, "Ом", "Ohm", 600,
            "Winding resistance (phase to phase)", "Сопротивление обмотки (линейное)", upd=1),
        row("MLIND", 79, U, RW, 1, 60000, 0.01, "мГн", "mH", 250,
            "Winding inductance (phase to phase)", "Индуктивность обмотки (линейная)", upd=1),
        row("MJ", 80, U, RW, 1, 60000, 0.01, "кг·см2", "kg*cm2", 110,
            "Rotor inertia", "Момент инерции ротора", upd=1),
        row("MTNOM", 81, U, RW, 1, 60000, 1, "Н·см", "N-cm", 239,
            "Rated torque", "Номинальный момент", upd=1),
        row("MTHTC", 82, U, RW, 1, 7200, 1, "с", "s", 1200,
            "Motor thermal time constant", "Тепловая постоянная двигателя", upd=1),
        row("ENCTYP", 83, U, RW, 0, 4, 1, "", "", 1,
            "Feedback (0 incr. 1 sin/cos 2 resolver 3 absolute 4 Hall)",
            "Датчик (0 инкр. 1 sin/cos 2 резольвер 3 абсолютный 4 Холл)", upd=2),
        row("ENCR", 84, U, RW, 4, 65535, 1, CNT_RU, CNT_EN, 16384,
            "Encoder counts per revolution", "Импульсов датчика на оборот", upd=2),
        row("ENCDIR", 85, U, RW, 0, 1, 1, "", "", 0,
            "Encoder direction inversion", "Инверсия направления датчика", upd=1),
        row("HALLOFS", 86, U, RW, 0, 359, 1, "эл.град", "el.deg", 0,
            "Hall sensor offset", "Смещение датчиков Холла", upd=1),
        row("COMOFS", 87, U, RW, 0, 359, 1, "эл.град", "el.deg", 0,
            "Commutation offset", "Смещение коммутации", upd=1),
        row("MBRAKE", 88, U, RW, 0, 1, 1, "", "", 0,
            "Motor holding brake fitted", "Двигатель с тормозом", upd=1),
        row("MDIR", 89, U, RW, 0, 1, 1, "", "", 0,
            "Motor direction inversion", "Инверсия направления двигателя", upd=1),
    ]),
    ("Motor protection", "Защита двигателя", [
        row("MTSENS", 90, U, RW, 0, 3, 1, "", "", 1,
            "Temperature sensor (0 none 1 PTC 2 KTY 3 NTC)",
            "Датчик температуры (0 нет 1 PTC 2 KTY 3 NTC)", upd=1),
        row("MTEMPW", 91, U, RW, 0, 2000, 0.1, "°C", "°C", 1200,
            "Motor temperature warning level", "Порог предупреждения по температуре двигателя"),
        row("MTEMPF", 92, U, RW, 0, 2000, 0.1, "°C", "°C", 1400,
            "Motor temperature fault level", "Порог аварии по температуре двигателя"),
        row("MI2TLV", 93, U, RW, 50, 150, 1, "%", "%", 110,
            "Motor overload level (i2t)", "Порог перегрузки двигателя (i2t)"),
        row("MOVSPD", 94, U, RW, 1, 30000, 1, RPM_RU, RPM_EN, 5400,
            "Overspeed fault level", "Порог превышения скорости"),
        row("MSTALL", 95, U, RW, 0, 10000, 1, MS_RU, MS_EN, 2000,
            "Stall detection time (0 off)", "Время обнаружения заклинивания (0 выкл.)"),
    ]),
    ("Commutation", "Коммутация", [
        row("COMMOD", 96, U, RW, 0, 2, 1, "", "", 0,
            "Commutation start (0 Hall 1 phase finding 2 absolute)",
            "Начальная коммутация (0 Холл 1 поиск фазы 2 абсолютный)", upd=2),
        row("PHFI", 97, U, RW, 0, 440, 0.01, A_RU, A_EN, 220,
            "Phase finding current", "Ток поиска фазы", upd=1),
        row("PHFT", 98, U, RW, 10, 10000, 1, MS_RU, MS_EN, 500,
            "Phase finding time", "Время поиска фазы", upd=1),
    ]),
])

GROUP_CURRENT = (3, "Current controller", "Регулятор тока", [
    ("Current limits", "Ограничения тока", [
        row("IFL", 99, U, RW, 0, 1320, 0.01, A_RU, A_EN, 1320,
            "Peak current limit", "Предельный пиковый ток"),
        row("IWL", 100, U, RW, 0, 1320, 0.01, A_RU, A_EN, 1188,
            "Current warning level", "Порог предупреждения по току"),
        row("ICONT", 101, U, RW, 0, 440, 0.01, A_RU, A_EN, 440,
            "Continuous current limit", "Предельный длительный ток"),
        row("ILIMP", 102, U, RW, 0, 1320, 0.01, A_RU, A_EN, 1320,
            "Positive current limit", "Ограничение тока в положительном направлении"),
        row("ILIMN", 103, U, RW, 0, 1320, 0.01, A_RU, A_EN, 1320,
            "Negative current limit (magnitude)", "Ограничение тока в отрицательном направлении"),
        row("I2TT", 104, U, RW, 1, 10000, 1, MS_RU, MS_EN, 2000,
            "Peak current time (i2t)", "Допустимое время пикового тока (i2t)"),
    ]),
    ("Current loop", "Контур тока", [
        row("KPI", 105, U, RW, 0, 30000, 0.01, "В/А", "V/A", 1500,
            "Current loop proportional gain", "Пропорциональный коэффициент контура тока"),
        row("KII", 106, U, RW, 1, 30000, 0.01, MS_RU, MS_EN, 417,
            "Current loop integral time", "Постоянная интегрирования контура тока"),
        row("KFFE", 107, U, RW, 0, 100, 1, "%", "%", 100,
            "Back EMF feed forward", "Компенсация противо-ЭДС"),
        row("ICFILT", 108, U, RW, 0, 8000, 1, "Гц", "Hz", 0,
            "Current command filter (0 off)", "Фильтр задания тока (0 выкл.)"),
        row("VDMAX", 109, U, RW, 50, 100, 1, "%", "%", 95,
            "Output voltage limit", "Ограничение выходного напряжения"),
        row("DTCOMP", 110, U, RW, 0, 500, 0.01, "мкс", "us", 150,
            "Dead time compensation", "Компенсация мёртвого времени", upd=1),
        row("FLDWK", 111, U, RW, 0, 1, 1, "", "", 0,
            "Field weakening enable", "Ослабление поля", upd=1),
        row("IDMAX", 112, U, RW, 0, 30000, 0.01, A_RU, A_EN, 220,
            "Maximum field weakening current", "Максимальный ток ослабления поля"),
        # Factory calibration: kept in the table, no row.
        row("ADOFSU", 113, I, R, -2000, 2000, 1, "", "", 0,
            "Phase U current sensor offset", "Смещение датчика тока фазы U", mode=1),
        row("ADOFSV", 114, I, R, -2000, 2000, 1, "", "", 0,
            "Phase V current sensor offset", "Смещение датчика тока фазы V", mode=1),
    ]),
])

FILTER_FREQ = {1: 250, 2: 500, 3: 1000, 4: 2000}


def filter_rows(n):
    base = 133 + 9 * (n - 1)
    f = "Filter %d " % n
    r = "Фильтр %d: " % n
    return (("Filter %d" % n), ("Фильтр %d" % n), [
        row("F%dTYPE" % n, base, U, RW, 0, 4, 1, "", "", 0,
            f + "type (0 off 1 LPF 2 BSF 3 EFC 4 EFB)",
            r + "тип (0 выкл. 1 ФНЧ 2 РФ 3 ЭК 4 ЭП)"),
        row("F%dFRE" % n, base + 1, U, RW, 10, 3999, 1, "Гц", "Hz", FILTER_FREQ[n],
            f + "frequency", r + "частота"),
        row("F%dQUA" % n, base + 2, U, RW, 100, 20000, 0.001, "", "", 707,
            f + "quality", r + "добротность"),
        row("F%dGL" % n, base + 3, I, RW, -400, 400, 0.1, "дБ", "dB", 10,
            f + "gain", r + "усиление"),
        row("F%dNUM0" % n, base + 4, I, RW, -32768, 32767, 0.0001, "", "", 10000,
            f + "coefficient b0", r + "коэффициент b0"),
        row("F%dNUM1" % n, base + 5, I, RW, -32768, 32767, 0.0001, "", "", 0,
            f + "coefficient b1", r + "коэффициент b1"),
        row("F%dNUM2" % n, base + 6, I, RW, -32768, 32767, 0.0001, "", "", 0,
            f + "coefficient b2", r + "коэффициент b2"),
        row("F%dDEN1" % n, base + 7, I, RW, -32768, 32767, 0.0001, "", "", 0,
            f + "coefficient a1", r + "коэффициент a1"),
        row("F%dDEN2" % n, base + 8, I, RW, -32768, 32767, 0.0001, "", "", 0,
            f + "coefficient a2", r + "коэффициент a2"),
    ])


KPV_RU, KPV_EN = "мА/(об/мин)", "mA/rpm"
GROUP_SPEED = (4, "Speed controller", "Регулятор скорости", [
    # 18 rows: the subgroup fills two pages.
    ("Speed loop", "Контур скорости", [
        row("KPV", 115, U, RW, 0, 30000, 0.01, KPV_RU, KPV_EN, 500,
            "Speed loop proportional gain", "Пропорциональный коэффициент контура скорости"),
        row("KIV", 116, U, RW, 1, 30000, 0.1, MS_RU, MS_EN, 100,
            "Speed loop integral time", "Постоянная интегрирования контура скорости"),
        row("KDV", 117, U, RW, 0, 1000, 1, "%", "%", 0,
            "Speed loop derivative gain", "Дифференциальный коэффициент контура скорости"),
        row("KAFF", 118, U, RW, 0, 1000, 1, "%", "%", 0,
            "Acceleration feed forward", "Упреждение по ускорению"),
        row("VLIM", 119, U, RW, 0, 4500, 1, RPM_RU, RPM_EN, 4500,
            "Speed limit", "Ограничение скорости"),
        row("ACC", 120, U, RW, 0, 60000, 1, MS_RU, MS_EN, 100,
            "Acceleration time (0 to 1000 rpm)", "Время разгона (0 ... 1000 об/мин)"),
        row("DEC", 121, U, RW, 0, 60000, 1, MS_RU, MS_EN, 100,
            "Deceleration time (1000 rpm to 0)", "Время торможения (1000 ... 0 об/мин)"),
        row("VFILT", 122, U, RW, 0, 4000, 1, "Гц", "Hz", 1000,
            "Speed feedback filter (0 off)", "Фильтр обратной связи по скорости (0 выкл.)"),
        row("VCFILT", 123, U, RW, 0, 4000, 1, "Гц", "Hz", 0,
            "Speed command filter (0 off)", "Фильтр задания скорости (0 выкл.)"),
        row("VZERO", 124, U, RW, 0, 1000, 1, RPM_RU, RPM_EN, 10,
            "Zero speed window", "Окно нулевой скорости"),
        row("VREACH", 125, U, RW, 0, 1000, 1, RPM_RU, RPM_EN, 20,
            "Speed reached window", "Окно достижения скорости"),
        row("VERRMX", 126, U, RW, 0, 20000, 1, RPM_RU, RPM_EN, 1000,
            "Speed error fault level (0 off)", "Порог аварии по ошибке скорости (0 выкл.)"),
        row("KPV2", 127, U, RW, 0, 30000, 0.01, KPV_RU, KPV_EN, 500,
            "Proportional gain of gain set 2", "Пропорциональный коэффициент (набор 2)"),
        row("KIV2", 128, U, RW, 1, 30000, 0.1, MS_RU, MS_EN, 100,
            "Integral time of gain set 2", "Постоянная интегрирования (набор 2)"),
        row("GSWMOD", 129, U, RW, 0, 3, 1, "", "", 0,
            "Gain switching (0 off 1 input 2 speed 3 in position)",
            "Переключение коэффициентов (0 нет 1 вход 2 скорость 3 в позиции)"),
        row("GSWLV", 130, U, RW, 0, 20000, 1, RPM_RU, RPM_EN, 100,
            "Gain switching speed", "Скорость переключения коэффициентов"),
        row("VOBS", 131, U, RW, 0, 1, 1, "", "", 0,
            "Speed observer enable", "Наблюдатель скорости", upd=1),
        row("JRATIO", 132, U, RW, 0, 10000, 1, "%", "%", 100,
            "Load to rotor inertia ratio", "Отношение инерции нагрузки к инерции ротора"),
    ]),
    filter_rows(1), filter_rows(2), filter_rows(3), filter_rows(4),
])

GROUP_POSITION = (5, "Position controller", "Регулятор положения", [
    ("Position loop", "Контур положения", [
        row("KPP", 169, U, RW, 0, 30000, 0.01, "1/с", "1/s", 3000,
            "Position loop gain", "Коэффициент контура положения"),
        row("KVFFP", 170, U, RW, 0, 100, 1, "%", "%", 80,
            "Speed feed forward", "Упреждение по скорости"),
        row("KTFF", 171, U, RW, 0, 100, 1, "%", "%", 0,
            "Torque feed forward", "Упреждение по моменту"),
        row("PERRMX", 172, U, RW, 0, 65535, 1, CNT_RU, CNT_EN, 8192,
            "Following error fault level", "Порог аварии по ошибке рассогласования"),
        row("PERRWL", 173, U, RW, 0, 65535, 1, CNT_RU, CNT_EN, 4096,
            "Following error warning level", "Порог предупреждения по ошибке рассогласования"),
        row("INPOSW", 174, U, RW, 0, 10000, 1, CNT_RU, CNT_EN, 20,
            "In position window", "Окно позиционирования"),
        row("INPOST", 175, U, RW, 0, 1000, 1, MS_RU, MS_EN, 10,
            "In position time", "Время в окне позиционирования"),
        row("PFILT", 176, U, RW, 0, 1000, 1, MS_RU, MS_EN, 0,
            "Position command smoothing (0 off)", "Сглаживание задания положения (0 выкл.)"),
        row("SWLEN", 177, U, RW, 0, 1, 1, "", "", 0,
            "Software limits enable", "Программные пределы включены"),
        row("PLIMP", 178, I, RW, -32768, 32767, 1, "об", "rev", 1000,
            "Positive software limit", "Положительный программный предел"),
        row("PLIMN", 179, I, RW, -32768, 32767, 1, "об", "rev", -1000,
            "Negative software limit", "Отрицательный программный предел"),
    ]),
    ("Pulse input", "Импульсный вход", [
        row("PINMOD", 180, U, RW, 0, 2, 1, "", "", 0,
            "Pulse input mode (0 pulse/direction 1 A/B 2 CW/CCW)",
            "Режим импульсного входа (0 импульс/направление 1 A/B 2 CW/CCW)", upd=1),
        row("PINDIR", 181, U, RW, 0, 1, 1, "", "", 0,
            "Pulse input direction inversion", "Инверсия направления импульсного входа"),
        row("PINFL", 182, U, RW, 0, 7, 1, "", "", 2,
            "Pulse input filter code", "Код фильтра импульсного входа"),
        row("GEARN", 183, U, RW, 1, 65535, 1, "", "", 1,
            "Electronic gear numerator", "Числитель электронного редуктора"),
        row("GEARD", 184, U, RW, 1, 65535, 1, "", "", 1,
            "Electronic gear denominator", "Знаменатель электронного редуктора"),
        row("PINMAX", 185, U, RW, 1, 3000, 0.1, "кГц", "kHz", 3000,
            "Maximum pulse input frequency", "Максимальная частота импульсного входа"),
    ]),
    ("Homing", "Поиск нуля", [
        row("HMODE", 186, U, RW, 0, 6, 1, "", "", 0,
            "Homing method (0 off)", "Способ поиска нуля (0 выкл.)"),
        row("HVEL1", 187, U, RW, 1, 5000, 1, RPM_RU, RPM_EN, 200,
            "Homing speed to the switch", "Скорость поиска датчика нуля"),
        row("HVEL2", 188, U, RW, 1, 1000, 1, RPM_RU, RPM_EN, 20,
            "Homing speed to the index", "Скорость поиска метки"),
        row("HACC", 189, U, RW, 1, 60000, 1, MS_RU, MS_EN, 100,
            "Homing acceleration time", "Время разгона при поиске нуля"),
        row("HOFFS", 190, I, RW, -32768, 32767, 1, CNT_RU, CNT_EN, 0,
            "Home offset", "Смещение нуля"),
        row("HTOUT", 191, U, RW, 0, 600, 1, "с", "s", 60,
            "Homing time limit (0 off)", "Предельное время поиска нуля (0 выкл.)"),
    ]),
])

# Scope signals: the drive's process values; they have no row (IndexGroup 0) and are
# numbered 1, 2, ... in file order. The EngName and RusName carry the channel name in
# brackets and hold no "-" (the channel lists join name, "-" and number).


def sig(name, index, vtype, lo, hi, scale, urus, ueng, eng, rus):
    return row(name, index, vtype, R, lo, hi, scale, urus, ueng, 0,
               "%s (%s)" % (eng, name), "%s (%s)" % (rus, name), mode=2)


def reserved(name, index, k):
    return row(name, index, U, R, 0, 65535, 1, "", "", 0,
               "Reserved %d (%s)" % (k, name), "Резерв %d (%s)" % (k, name), mode=2)


I_MIN, I_MAX = -32768, 32767
GROUP_SCOPE = (0, "Oscilloscope signals", "Сигналы осциллографа", [
    ("Signals_osc_page1", "Signals_osc_page1", [
        sig("STA", 240, U, 0, 65535, 1, "", "", "Status word", "Слово состояния"),
        sig("ISET", 192, I, I_MIN, I_MAX, 0.01, A_RU, A_EN, "Current command", "Задание тока"),
        sig("IACT", 193, I, I_MIN, I_MAX, 0.01, A_RU, A_EN, "Current actual", "Ток фактический"),
        sig("TSET", 194, I, I_MIN, I_MAX, 1, "Н·см", "N-cm", "Torque command", "Задание момента"),
        sig("TACT", 195, I, I_MIN, I_MAX, 1, "Н·см", "N-cm", "Torque actual", "Момент фактический"),
        sig("VERR", 196, I, I_MIN, I_MAX, 1, RPM_RU, RPM_EN, "Speed error", "Ошибка скорости"),
        sig("VSET", 197, I, I_MIN, I_MAX, 1, RPM_RU, RPM_EN, "Speed command", "Задание скорости"),
        sig("VACT", 198, I, I_MIN, I_MAX, 1, RPM_RU, RPM_EN, "Speed actual", "Скорость фактическая"),
    ]),
    ("Signals_osc_page2", "Signals_osc_page2", [
        sig("PERR", 199, I, I_MIN, I_MAX, 1, CNT_RU, CNT_EN, "Following error",
            "Ошибка рассогласования"),
        sig("PRREV", 200, I, I_MIN, I_MAX, 1, "об", "rev", "Position command revolutions",
            "Задание положения в оборотах"),
        sig("PRCTS", 201, U, 0, 65535, 1, CNT_RU, CNT_EN, "Position command counts",
            "Задание положения в импульсах"),
        sig("PFREV", 202, I, I_MIN, I_MAX, 1, "об", "rev", "Position actual revolutions",
            "Фактическое положение в оборотах"),
        sig("PFCTS", 203, U, 0, 65535, 1, CNT_RU, CNT_EN, "Position actual counts",
            "Фактическое положение в импульсах"),
        sig("PRINC", 204, I, I_MIN, I_MAX, 1, CNT_RU, CNT_EN, "Position command increment",
            "Приращение задания положения"),
        sig("PFINC", 205, I, I_MIN, I_MAX, 1, CNT_RU, CNT_EN, "Position actual increment",
            "Приращение фактического положения"),
        sig("PINFRQ", 206, I, I_MIN, I_MAX, 0.01, "кГц", "kHz", "Pulse input frequency",
            "Частота импульсного входа"),
    ]),
    ("Signals_osc_page3", "Signals_osc_page3", [
        sig("IU", 207, I, I_MIN, I_MAX, 0.01, A_RU, A_EN, "Phase U current", "Ток фазы U"),
        sig("IV", 208, I, I_MIN, I_MAX, 0.01, A_RU, A_EN, "Phase V current", "Ток фазы V"),
        sig("ID", 209, I, I_MIN, I_MAX, 0.01, A_RU, A_EN, "Flux current", "Ток намагничивания"),
        sig("IQ", 210, I, I_MIN, I_MAX, 0.01, A_RU, A_EN, "Torque current", "Активный ток"),
        sig("UD", 211, I, I_MIN, I_MAX, 0.1, "В", "V", "Voltage of the d axis", "Напряжение по оси d"),
        sig("UQ", 212, I, I_MIN, I_MAX, 0.1, "В", "V", "Voltage of the q axis", "Напряжение по оси q"),
        sig("VBUS", 213, U, 0, 65535, 0.1, "В", "V", "DC bus voltage", "Напряжение звена"),
        sig("THETA", 214, U, 0, 3599, 0.1, "эл.град", "el.deg", "Electrical angle",
            "Электрический угол"),
    ]),
    ("Signals_osc_page4", "Signals_osc_page4", [
        sig("AINVOL", 215, I, I_MIN, I_MAX, 1, "мВ", "mV", "Analog input voltage",
            "Напряжение аналогового входа"),
        sig("DINSTA", 244, U, 0, 65535, 1, "", "", "Digital inputs state",
            "Состояние цифровых входов"),
        sig("DOSTA", 216, U, 0, 65535, 1, "", "", "Digital outputs state",
            "Состояние цифровых выходов"),
        sig("APXSTA", 245, U, 0, 65535, 1, "", "", "Application status word",
            "Слово состояния приложения"),
        sig("TDRV", 217, I, I_MIN, I_MAX, 0.1, "°C", "°C", "Drive temperature",
            "Температура привода"),
        sig("TMOT", 218, I, I_MIN, I_MAX, 0.1, "°C", "°C", "Motor temperature",
            "Температура двигателя"),
        sig("I2T", 219, U, 0, 65535, 0.1, "%", "%", "Motor load i2t", "Нагрузка двигателя i2t"),
        sig("LOAD", 220, U, 0, 65535, 0.1, "%", "%", "Drive load", "Нагрузка привода"),
    ]),
    ("Signals_osc_page5", "Signals_osc_page5", [
        sig("PINCNT", 221, I, I_MIN, I_MAX, 1, CNT_RU, CNT_EN, "Pulse input counter",
            "Счётчик импульсного входа"),
        sig("AO1VOL", 222, I, I_MIN, I_MAX, 1, "мВ", "mV", "Analog output 1 voltage",
            "Напряжение аналогового выхода 1"),
        sig("AO2VOL", 223, I, I_MIN, I_MAX, 1, "мВ", "mV", "Analog output 2 voltage",
            "Напряжение аналогового выхода 2"),
        reserved("RES1", 224, 1),
        reserved("RES2", 225, 2),
    ]),
    ("Signals_osc_page6", "Signals_osc_page6", [
        sig("BRLOAD", 226, U, 0, 65535, 0.1, "%", "%", "Braking resistor load",
            "Нагрузка тормозного резистора"),
        reserved("RES3", 227, 3),
        reserved("RES4", 228, 4),
        reserved("RES5", 229, 5),
    ]),
])

# Status words not sampled by the scope, and service counters: no row.
GROUP_SERVICE = (0, "Service", "Сервис", [
    ("Status words", "Слова состояния", [
        row("ERR", 241, U, R, 0, 65535, 1, "", "", 0, "Error word", "Слово ошибок", mode=1),
        row("WRN", 242, U, R, 0, 65535, 1, "", "", 0, "Warning word", "Слово предупреждений",
            mode=1),
        row("APPSGN", 243, U, R, 0, 65535, 1, "", "", 0, "Application signals word",
            "Слово сигналов приложения", mode=1),
        row("APXERR", 246, U, R, 0, 65535, 1, "", "", 0, "Appendix errors word",
            "Слово ошибок приложения", mode=1),
    ]),
    ("Counters", "Счётчики", [
        row("OPHRS", 247, U, R, 0, 65535, 1, "ч", "h", 0, "Operating hours",
            "Наработка", mode=1),
        row("EEPCNT", 248, U, R, 0, 65535, 1, "", "", 0, "EEPROM write counter",
            "Счётчик записей в EEPROM", mode=1),
        row("LASTERR", 249, U, R, 0, 65535, 1, "", "", 0, "Last error code",
            "Код последней ошибки", mode=1),
    ]),
])

GROUPS = [GROUP_DRIVE, GROUP_MOTOR, GROUP_CURRENT, GROUP_SPEED, GROUP_POSITION,
          GROUP_SCOPE, GROUP_SERVICE]

# Calculated parameters: (Pname, prior_calc, reason_calc, MinVal, MaxVal, DefValue).
# None keeps the row's own number. {NAME} stands for the Numpar key of NAME.
# reason_calc: 1 follows the drive type, 2 follows the motor type, 3 follows both.
# type_calc: which fields are formulas, 1 MinVal + 2 MaxVal + 4 DefValue (written below).
DICONT_BY_DT = ("if {DT} = 1 then 200 else if {DT} = 2 then 400 else if {DT} = 3 then 600 "
                "else if {DT} = 4 then 800 else if {DT} = 5 then 1200 else if {DT} = 6 then 1600 "
                "else if {DT} = 7 then 2400 else if {DT} = 8 then 3200 "
                "else if {DT} = 9 then 4800 else 6400")
CALCULATED = [
    # Pass 1: ratings of the power stage and values that follow one motor datum.
    ("DICONT", 1, 1, None, None, DICONT_BY_DT),
    ("DVBUS", 1, 1, None, None, "if {DT} < 6 then 3250 else 5600"),
    ("MOVSPD", 1, 2, None, None, "{MVMAX} * 1.2"),
    ("VLIM", 1, 2, None, "{MVMAX}", "{MVMAX}"),
    ("AINSCV", 1, 2, None, None, "{MVMAX}"),
    ("KPI", 1, 2, None, None, "{MLIND} * 6"),
    ("PHFI", 1, 2, None, "{MICONT}", "{MICONT} / 2"),
    ("PERRMX", 1, 2, None, None, "{ENCR} / 2"),
    # Pass 2: peak rating of the drive; limits from drive and motor together.
    ("DIPEAK", 2, 1, None, None, "{DICONT} * 3"),
    ("ICONT", 2, 3, None, "min({DICONT}|{MICONT})", "min({DICONT}|{MICONT})"),
    ("PERRWL", 2, 2, None, None, "{PERRMX} / 2"),
    # Pass 3: the peak current limit.
    ("IFL", 3, 3, None, "min({DIPEAK}|{MPI})", "min({DIPEAK}|{MPI})"),
    ("IDMAX", 3, 3, None, None, "{ICONT} / 2"),
    # Pass 4: everything that follows the peak current limit.
    ("IWL", 4, 3, None, "{IFL}", "{IFL} * 0.9"),
    ("ILIMP", 4, 3, None, "{IFL}", "{IFL}"),
    ("ILIMN", 4, 3, None, "{IFL}", "{IFL}"),
    ("AINSCI", 4, 3, None, None, "{IFL}"),
]

# ---------------------------------------------------------------------------------
# Status bits
# ---------------------------------------------------------------------------------
# (Pname, EngName, RusName) per bit; None leaves the bit unnamed.

STATE_BITS = {
    240: [
        ("SRVON", "Servo enabled", "Сервопривод включён"),
        ("ERRACT", "Error present", "Есть ошибка"),
        ("WRNACT", "Warning present", "Есть предупреждение"),
        ("ZEROSP", "Zero speed", "Нулевая скорость"),
        ("INPOS", "In position", "В позиции"),
        ("FGRUN", "Function generator running", "Генератор функций работает"),
        ("ILIMIT", "Current limit active", "Ограничение тока"),
        ("READY", "Drive ready", "Привод готов"),
        ("OSCREC", "Oscilloscope recording", "Идёт запись осциллограммы"),
        ("EXTCTL", "External control", "Внешнее управление"),
        ("HOMED", "Homing done", "Нуль найден"),
        ("BRKOFF", "Brake released", "Тормоз отпущен"),
        ("STOACT", "Safe torque off active", "Безопасное отключение момента"),
        ("SWLIM", "Software limit reached", "Достигнут программный предел"),
        ("PCEN", "Enabled from PC", "Включён с ПК"),
        ("HWEN", "Hardware enable input", "Вход разрешения"),
    ],
    241: [
        ("ERROC", "Overcurrent", "Превышение тока"),
        ("ERROV", "DC bus overvoltage", "Перенапряжение звена"),
        ("ERRUV", "DC bus undervoltage", "Пониженное напряжение звена"),
        ("ERROTD", "Drive overtemperature", "Перегрев привода"),
        ("ERROTM", "Motor overtemperature", "Перегрев двигателя"),
        ("ERRENC", "Encoder error", "Ошибка датчика положения"),
        ("ERRHALL", "Hall sensor error", "Ошибка датчиков Холла"),
        ("ERRFOL", "Following error too large", "Превышена ошибка рассогласования"),
        ("ERROS", "Overspeed", "Превышение скорости"),
        ("ERRI2T", "Motor overload (i2t)", "Перегрузка двигателя (i2t)"),
        ("ERRCOM", "Communication time-out", "Потеря связи"),
        ("ERREEP", "EEPROM checksum error", "Ошибка контрольной суммы EEPROM"),
        ("ERRPAR", "Parameter error", "Ошибка параметров"),
        ("ERRSC", "Short circuit", "Короткое замыкание"),
        ("ERRPWR", "Power stage fault", "Авария силового каскада"),
        ("ERRINT", "Internal error", "Внутренняя ошибка"),
    ],
    242: [
        ("WRNOV", "DC bus voltage high", "Напряжение звена повышено"),
        ("WRNUV", "DC bus voltage low", "Напряжение звена понижено"),
        ("WRNTD", "Drive temperature high", "Температура привода повышена"),
        ("WRNTM", "Motor temperature high", "Температура двигателя повышена"),
        ("WRNCUR", "Current above warning level", "Ток выше порога предупреждения"),
        ("WRNFOL", "Following error warning", "Ошибка рассогласования велика"),
        ("WRNLSP", "Positive limit switch", "Концевой выключатель +"),
        ("WRNLSN", "Negative limit switch", "Концевой выключатель -"),
        ("WRNSWP", "Positive software limit", "Программный предел +"),
        ("WRNSWN", "Negative software limit", "Программный предел -"),
        ("WRNVLM", "Speed limit active", "Ограничение скорости"),
        ("WRNENC", "Encoder signal weak", "Слабый сигнал датчика"),
        ("WRNFAN", "Fan fault", "Неисправность вентилятора"),
        ("WRNREG", "Braking resistor overload", "Перегрузка тормозного резистора"),
        ("WRNSAV", "Parameters not saved", "Параметры не сохранены"),
        ("WRNI2T", "Motor overload warning (i2t)", "Предупреждение о перегрузке (i2t)"),
    ],
}

APP_SIGNAL_BITS = [
    ("APMAIN", "Mains power on", "Силовое питание подано"),
    ("APON", "Drive on", "Привод включён"),
    ("APMOVE", "Motion active", "Идёт движение"),
    ("APHOME", "Homing active", "Идёт поиск нуля"),
    ("APLSP", "Positive limit switch", "Концевой выключатель +"),
    ("APLSN", "Negative limit switch", "Концевой выключатель -"),
    ("APBRK", "Brake output", "Выход тормоза"),
    ("APPOS", "Target position reached", "Позиция достигнута"),
    ("APVEL", "Speed reached", "Скорость достигнута"),
    ("APTLIM", "Torque limit reached", "Достигнуто ограничение момента"),
    ("APPIN", "Pulse input active", "Импульсный вход активен"),
    ("APAIN", "Analog command active", "Аналоговое задание активно"),
    ("APFGD", "Generator motion done", "Движение генератора завершено"),
    ("APTRG", "Capture triggered", "Запуск записи"),
    ("APGS2", "Gain set 2 active", "Действует набор коэффициентов 2"),
    ("APHB", "Heartbeat", "Признак работы"),
]

APP_BITS = {
    243: APP_SIGNAL_BITS,
    244: [("DI%d" % k, "Digital input %d" % k, "Цифровой вход %d" % k) for k in range(1, 9)],
    246: [
        ("AXPOV", "Pulse input overflow", "Переполнение импульсного входа"),
        ("AXAIN", "Analog input out of range", "Аналоговый вход вне диапазона"),
        ("AXHOM", "Homing failed", "Поиск нуля не выполнен"),
        ("AXGEAR", "Gear ratio invalid", "Неверный коэффициент редуктора"),
        ("AXSWL", "Software limit exceeded", "Превышен программный предел"),
        ("AXREG", "Braking resistor fault", "Неисправность тормозного резистора"),
        ("AXBRK", "Motor brake fault", "Неисправность тормоза двигателя"),
        ("AXBAT", "Encoder battery low", "Батарея датчика разряжена"),
    ],
}

# The bits of the "APXSTA" scope signal are the application signals of word 243.
SCOPE_BITS = APP_SIGNAL_BITS

# ---------------------------------------------------------------------------------
# Type tables
# ---------------------------------------------------------------------------------

MOTOR_HEADER = ["MT", "MPI", "MICONT", "MKT", "MKE", "MPOLES", "MVMAX", "MVNOM", "MRES",
                "MLIND", "MJ", "MTNOM", "ENCTYP", "ENCR"]
# Raw values in the order of MOTOR_HEADER after MT. Line 1 ("Custom") keeps the motor
# data as they stand and sets only MT.
MOTORS = [
    ("Custom", []),
    ("ZSM40-005", [270, 90, 180, 110, 8, 5000, 3000, 9800, 1200, 3, 16, 0, 10000]),
    ("ZSM60-020", [480, 160, 400, 250, 8, 5000, 3000, 2600, 600, 18, 64, 0, 10000]),
    ("ZSM60-040", [840, 280, 450, 280, 8, 5000, 3000, 1200, 350, 33, 127, 0, 10000]),
    ("ZSM80-075", [1320, 440, 540, 330, 8, 4500, 3000, 600, 250, 110, 239, 1, 16384]),
    ("ZSM80-100", [1800, 600, 530, 320, 8, 4500, 3000, 450, 190, 150, 318, 1, 16384]),
    ("ZSM110-150", [1800, 600, 1190, 720, 8, 3000, 2000, 900, 510, 630, 716, 2, 4096]),
    ("ZSM130-200", [2850, 950, 1000, 620, 8, 3000, 2000, 420, 360, 1300, 955, 2, 4096]),
    ("ZSM130-300", [3750, 1250, 1140, 700, 8, 3000, 2000, 250, 240, 1940, 1430, 3, 32768]),
    ("ZSM180-450", [5400, 1800, 1590, 980, 8, 2000, 1500, 140, 190, 6200, 2860, 3, 32768]),
    ("ZSM180-750", [9000, 3000, 1590, 980, 8, 2000, 1500, 60, 100, 9500, 4770, 3, 32768]),
    ("ZBL57-010", [1500, 500, 64, 45, 8, 4000, 3000, 300, 50, 12, 32, 4, 24]),
]

DRIVES = ["ZRD-KT2", "ZRD-KT4", "ZRD-KT6", "ZRD-KT8", "ZRD-KT12", "ZRD-KT16", "ZRD-KT24",
          "ZRD-KT32", "ZRD-KT48", "ZRD-KT64"]

# ---------------------------------------------------------------------------------
# Function-name lists: the value of a DIN*, DOUT* or AOUT* parameter is the line number
# (from 0) of its function here.
# ---------------------------------------------------------------------------------

DIGITAL_INPUTS = [
    ("Not used", "Не используется"),
    ("Servo enable", "Разрешение сервопривода"),
    ("Fault reset", "Сброс аварии"),
    ("Positive limit switch", "Концевой выключатель +"),
    ("Negative limit switch", "Концевой выключатель -"),
    ("Home switch", "Датчик нуля"),
    ("Start homing", "Пуск поиска нуля"),
    ("Command inhibit", "Запрет задания"),
    ("Zero speed clamp", "Фиксация нулевой скорости"),
    ("Internal command select", "Выбор внутреннего задания"),
    ("Gain set 2 select", "Выбор набора коэффициентов 2"),
    ("Quick stop", "Быстрый останов"),
    ("Start function generator", "Пуск генератора функций"),
    ("Pulse input inhibit", "Запрет импульсного входа"),
    ("Oscilloscope trigger", "Запуск осциллографа"),
    ("Torque limit select", "Выбор ограничения момента"),
]
DIGITAL_OUTPUTS = [
    ("Not used", "Не используется"),
    ("Drive ready", "Привод готов"),
    ("Servo enabled", "Сервопривод включён"),
    ("Error", "Авария"),
    ("Warning", "Предупр."),
    ("Zero speed", "Нулевая скорость"),
    ("In position", "В позиции"),
    ("Speed reached", "Скорость достигнута"),
    ("Current limit active", "Ограничение тока"),
    ("Brake control", "Управление тормозом"),
    ("Homing done", "Нуль найден"),
    ("Following error warning", "Ошибка рассогласования велика"),
    ("Function generator running", "Генератор функций работает"),
    ("Always on", "Всегда включён"),
]
ANALOG_OUTPUTS = [
    ("Not used", "Не используется"),
    ("Speed actual", "Скорость фактическая"),
    ("Speed command", "Зад. скорости"),
    ("Current actual", "Ток фактический"),
    ("Current command", "Зад. тока"),
    ("Torque actual", "Момент фактический"),
    ("Following error", "Ошибка рассогласования"),
    ("DC bus voltage", "Напряжение звена"),
    ("Drive load", "Нагрузка привода"),
    ("Analog input", "Аналоговый вход"),
    ("Motor temperature", "Температура двигателя"),
]

# ---------------------------------------------------------------------------------
# Message table: number -> (name, English, Russian). Texts keep their leading and
# trailing blanks; English texts hold no "=".
# ---------------------------------------------------------------------------------

MESSAGES = {
    0: ("caption", "QX Torvanta", "QX Torvanta"),
    1: ("no_data", "No valid data: the drive does not answer or a line is faulty. ",
        "Нет достоверных данных: привод не отвечает или строка ошибочна. "),
    3: ("no_database", "File Param_base.mod not found. The program will be closed.",
        "Файл Param_base.mod не найден. Программа будет закрыта."),
    4: ("database_error", "The parameter database was not loaded completely.",
        "База параметров загружена не полностью."),
    6: ("afr_start_range", "The first sample must be a whole number from 0 to 9999.",
        "Первая точка должна быть целым числом от 0 до 9999."),
    7: ("write_error", "Error writing to the port: the command was not sent.",
        "Ошибка записи в порт: команда не отправлена."),
    8: ("eeprom_refused", "The drive could not save the parameters to EEPROM.",
        "Привод не смог сохранить параметры в EEPROM."),
    9: ("eeprom_done", "Parameters are saved to EEPROM.",
        "Параметры сохранены в EEPROM."),
    10: ("command_error", "The command could not be sent to the drive.",
         "Команду не удалось отправить приводу."),
    11: ("scope_refused", "The drive refuses the oscilloscope command or stays busy.",
         "Привод отказывает в команде осциллографа или остаётся занят."),
    12: ("picture_not_saved", "The picture of the window is on the clipboard but could not be saved: ",
         "Изображение окна скопировано в буфер обмена, но не сохранено: "),
    13: ("picture_saved", "The picture of the window is on the clipboard and saved as: ",
         "Изображение окна скопировано в буфер обмена и сохранено в файл: "),
    14: ("minimum", "Minimum", "Минимум"),
    15: ("maximum", "Maximum", "Максимум"),
    16: ("default", "Default", "По умолчанию"),
    17: ("port_lost", "The connection to the drive was lost: ", "Связь с приводом потеряна: "),
    18: ("mode_speed", "  Speed", "  Скорость"),
    19: ("ext_control", "External control", "Внешн. управл."),
    20: ("drive_enable", "Drive enable", "Разреш. привода"),
    21: ("offline", "   Offline", "  Офлайн"),
    22: ("machine", "Machine", "Установка"),
    23: ("axis", "Axis", "Ось"),
    24: ("error_one", "Error", "Ошибка"),
    25: ("osc_params", "Take over the parameter values saved with the oscillogram?",
         "Загрузить значения параметров, сохранённые с осциллограммой?"),
    26: ("no_answer_param", "No valid answer from the drive for the parameter ",
         "Нет достоверного ответа привода для параметра "),
    27: ("online", "   Online", "  Онлайн"),
    28: ("connected", "Connected", "Связь есть"),
    29: ("not_connected", "No connection", "Нет связи"),
    30: ("no_dictionary", "File Dict_eng.dic not found. The program will be closed.",
         "Файл Dict_eng.dic не найден. Программа будет закрыта."),
    31: ("no_motor_types", "File Motor_type.mod not found. The program will be closed.",
         "Файл Motor_type.mod не найден. Программа будет закрыта."),
    32: ("language", "Eng", "Rus"),
    33: ("fg_amplitude_a", "A - Amplitude (-60 A +60 A)", "A - Амплитуда (-60 A +60 A)"),
    34: ("fg_offset_a", "L - Offset (-60 A +60 A)", "L - Смещение (-60 A +60 A)"),
    35: ("fg_amplitude", "A - Amplitude (-6000 +6000)", "A - Амплитуда (-6000 +6000)"),
    36: ("fg_offset", "L - Offset (-6000 +6000)", "L - Смещение (-6000 +6000)"),
    37: ("afr_missing", "The frequency response is not available yet.",
         "Частотная характеристика пока недоступна."),
    38: ("param_no_answer", ": no valid answer from the drive; the previous value is restored.",
         ": нет достоверного ответа привода; восстановлено прежнее значение."),
    39: ("data_read", "      Data is read successfully", "      Данные успешно прочитаны"),
    40: ("servo_on", "The servo is enabled. Switch it off first.",
         "Сервопривод включён. Сначала выключите его."),
    41: ("fg_period", "T - Period (2-2000)", "T - Период (2-2000)"),
    42: ("fg_width", "Q - Positive width (0-2000)", "Q - Длительность импульса (0-2000)"),
    43: ("fg_repeat", "Repeat times (0-20000)", "Число повторов (0-20000)"),
    44: ("unit_counts_ms", "Counts/millisecond", "Имп/мсек"),
    45: ("unit_rpm", "Rev/minute", "Об/мин"),
    46: ("fg_range", "The amplitude is out of range.", "Амплитуда вне допустимого диапазона."),
    47: ("chirp_no_answer", "The drive does not answer the chirp command.",
         "Привод не отвечает на команду ЛЧМ сигнала."),
    48: ("chirp_refused", "The drive refused the chirp command.",
         "Привод отказался выполнить команду ЛЧМ сигнала."),
    49: ("port_open", "The serial port cannot be opened.", "Не удаётся открыть порт."),
    50: ("port_state", "The port settings cannot be applied.",
         "Не удаётся установить параметры порта."),
    51: ("port_timeouts", "The port time-outs cannot be set.",
         "Не удаётся установить тайм-ауты порта."),
    52: ("port_events", "The port event mask cannot be set.",
         "Не удаётся установить маску событий порта."),
    53: ("nothing_known", "No parameter value is known yet (read the drive or load a file first): "
         "nothing is written.",
         "Ни одно значение параметра ещё не известно (прочитайте привод или файл): "
         "ничего не записано."),
    54: ("language_prompt", "Interface language (Eng or Rus):", "Язык интерфейса (Eng или Rus):"),
    55: ("mnemonic_prompt", "Mnemonic of the parameter", "Мнемоника параметра"),
    56: ("status_tab", "Status", "Состояние"),
    57: ("appendix_tab", "Appendix info", "Доп. информация"),
    58: ("log_date", "Date: ", "Дата: "),
    59: ("log_time", "  Time: ", "  Время: "),
    60: ("log_read_all", "  All parameters read from the drive",
         "  Все параметры прочитаны из привода"),
    61: ("log_view_online", "  Online oscillogram viewed", "  Просмотр онлайн осциллограммы"),
    62: ("log_save_osc", "  Oscillogram saved to a file", "  Осциллограмма сохранена в файл"),
    63: ("log_written", ": written", ": записан"),
    64: ("log_not_written", ": not accepted by the drive", ": не принят приводом"),
    65: ("wait_generator", "Waiting for the motion of the function generator...",
         "Ожидание движения от генератора функций..."),
    66: ("record_read", "Record read", "Запись прочитана"),
    67: ("error_list", "Error list", "Список ошибок"),
    68: ("error_many", "Errors", "ошибок"),
    69: ("reading_record", "Reading the record from the drive...", "Чтение записи из привода..."),
    70: ("error_list_none", "No errors", "Ошибок нет"),
    71: ("charset", "0", "204"),
    72: ("data_area_saved", "The drive's data area is saved to EEPROM.",
         "Область данных привода сохранена в EEPROM."),
    73: ("mode_position", "  Position", " Положение"),
    74: ("mode_current", "  Current", "  Ток"),
    75: ("log_no_answer", ": no answer from the drive", ": нет ответа привода"),
    76: ("fg_not_internal", "The function generator needs the Internal command source.",
         "Для генератора функций нужен внутренний источник задания."),
    77: ("fg_not_enabled", "Enable the servo before starting the function generator.",
         "Включите сервопривод перед пуском генератора функций."),
    78: ("fg_refused", "The drive refused to start the function generator.",
         "Привод отказался запустить генератор функций."),
    79: ("record_length", "Record length ", "Длина записи "),
    80: ("seconds", " s", " с"),
    81: ("chirp_start", "F1 - Start frequency, Hz (0-2000)", "F1 - Начальная частота, Гц (0-2000)"),
    82: ("chirp_end", "F2 - End frequency, Hz (2-2000)", "F2 - Конечная частота, Гц (2-2000)"),
    83: ("default_written", "The value lies outside the limits; the default is written instead: ",
         "Значение вне пределов; вместо него записано значение по умолчанию: "),
    84: ("fg_whole", "The amplitude must be a whole number; the fraction is dropped.",
         "Амплитуда должна быть целым числом; дробная часть отброшена."),
    85: ("outside_limits", "The value lies outside the limits; nothing is written. Limits: ",
         "Значение вне пределов; ничего не записано. Пределы: "),
    86: ("no_signal", "No signal", "Нет сигнала"),
    87: ("select_signal", "Select a signal", "Выберите сигнал"),
    88: ("param_refused", ": the drive refused the value.", ": привод не принял значение."),
    89: ("afr_start", "First sample of the 2048 analysed samples",
         "Первая точка из 2048 анализируемых"),
    90: ("unknown_not_written",
         "Not written, as their values are not known (neither read from the drive nor loaded "
         "from a file nor entered): ",
         "Не записаны, так как их значения неизвестны (не прочитаны из привода, не загружены "
         "из файла и не введены): "),
    91: ("write_all_stopped", "The drive stopped answering: writing stopped. Not written from: ",
         "Привод перестал отвечать: запись остановлена. Не записаны начиная с: "),
    92: ("read_all_stopped",
         "The drive stopped answering: reading stopped, the values read so far are kept. "
         "Not read from: ",
         "Привод перестал отвечать: чтение остановлено, прочитанные значения сохранены. "
         "Не прочитаны начиная с: "),
    93: ("calcpara_refused", "The drive refused the CALCPARA command.",
         "Привод отказался выполнить команду CALCPARA."),
    94: ("warning_list", "Warning list", "Список предупреждений"),
    95: ("warning_one", "Warning", "предупр."),
    96: ("warning_many", "Warnings", "Нет предупр."),
    97: ("warning_list_none", "No warnings", "Предупреждений нет"),
    98: ("error_none", "No errors", "Нет ошибок"),
    99: ("print_window", "Copy the whole window (Yes) or only the magnitude chart (No)?",
         "Копировать всё окно (Да) или только график амплитуды (Нет)?"),
    # Serial ports and settings. %1, %2 ... stand for the texts the program fills in; the
    # commands to type follow the text on lines of their own.
    100: ("port_join_group",
          "No permission to open %1: the port belongs to the group \"%2\", and the user \"%3\" "
          "is not in it. Join the group with this command, then log out and in again:",
          "Нет прав на открытие %1: порт принадлежит группе \"%2\", а пользователь \"%3\" в "
          "неё не входит. Добавьте его в группу этой командой, затем выйдите из системы и "
          "войдите снова:"),
    101: ("port_login_again",
          "No permission to open %1: the user \"%3\" was added to the group \"%2\" after "
          "logging in. Log out and in again, or start the program from a shell after this "
          "command:",
          "Нет прав на открытие %1: пользователь \"%3\" добавлен в группу \"%2\" после входа "
          "в систему. Выйдите из системы и войдите снова или запустите программу из оболочки "
          "после этой команды:"),
    102: ("port_no_access",
          "No permission to open %1 (owner %2, group %3, mode %4): neither the owner's nor the "
          "group's rights admit the user \"%5\". Ask the administrator for access to the port, "
          "for example through a udev rule.",
          "Нет прав на открытие %1 (владелец %2, группа %3, режим %4): ни права владельца, ни "
          "права группы не допускают пользователя \"%5\". Попросите администратора открыть "
          "доступ к порту, например правилом udev."),
    103: ("port_busy",
          "The port %1 is in use by another program: %2. Close it, then connect again.",
          "Порт %1 занят другой программой: %2. Закройте её и подключитесь снова."),
    104: ("port_busy_unknown",
          "The port %1 is in use by another program (the system does not tell which; it may "
          "belong to another user). Close it, then connect again.",
          "Порт %1 занят другой программой (какой, система не сообщает; возможно, она "
          "принадлежит другому пользователю). Закройте её и подключитесь снова."),
    105: ("port_latency",
          "The USB serial adapter of %1 holds every reply back for up to %2 ms (its latency "
          "timer), and every exchange with the drive waits that long. The first command lowers "
          "it to 1 ms until the adapter is unplugged; the other two install the udev rule "
          "shipped with the program, which lowers it whenever an adapter is plugged in:",
          "USB-адаптер порта %1 задерживает каждый ответ до %2 мс (таймер задержки), и каждый "
          "обмен с приводом ждёт столько же. Первая команда снижает задержку до 1 мс до "
          "отключения адаптера; две другие устанавливают поставляемое с программой правило "
          "udev, которое снижает её при каждом подключении адаптера:"),
    106: ("settings_broken",
          "The settings file %1 cannot be read. It is set aside as %2, and the program starts "
          "with its default settings.",
          "Файл настроек %1 не читается. Он сохранён как %2, программа запускается с "
          "настройками по умолчанию."),
    107: ("settings_value",
          "The settings file %1 holds an unusable value for \"%2\"; the default is used instead.",
          "Файл настроек %1 содержит негодное значение \"%2\"; используется значение по "
          "умолчанию."),
    108: ("settings_not_saved", "The settings cannot be written to %1; they are not kept for "
          "the next run.",
          "Настройки не удаётся записать в %1; при следующем запуске их не будет."),
    109: ("command_no_answer", "The drive does not answer the command.",
          "Привод не отвечает на команду."),
    110: ("command_refused", "The drive refused the command.", "Привод отказался выполнить команду."),
    111: ("command_foreign", "The drive answered the command with something that is no "
          "acknowledgement.",
          "Привод ответил на команду чем-то, что не является подтверждением."),
    113: ("step_cancelled", "The step test was cancelled; the generator and scope settings are put back.",
          "Тест скачка отменён; настройки генератора и осциллографа восстановлены."),
    114: ("step_not_taken", "The drive did not take %1; the step was not made.",
          "Привод не принял %1; скачок не выполнен."),
    115: ("step_not_speed_mode", "The step test needs the drive in speed mode (OPMOD is %1); nothing was written.",
          "Для теста скачка привод должен быть в режиме скорости (OPMOD = %1); ничего не записано."),
    116: ("step_incomplete", "The record of the step from the drive is incomplete (%1).",
          "Запись скачка из привода неполная (%1)."),
    117: ("step_no_step", "The record shows no step of the speed command %1.",
          "Запись не содержит скачка задания скорости %1."),
    118: ("step_not_restored", "These settings of the generator and the scope could not be put back: %1",
          "Эти настройки генератора и осциллографа не удалось восстановить: %1"),
    119: ("step_link_lost", "The link is lost: the generator and scope settings were not put back.",
          "Связь потеряна: настройки генератора и осциллографа не восстановлены."),
    120: ("tune_not_speed_mode", "The tuner needs the drive in speed mode (OPMOD is %1); nothing was written.",
          "Для настройки привод должен быть в режиме скорости (OPMOD = %1); ничего не записано."),
    121: ("tune_drive_error", "The drive reports an error: clear it before tuning. Nothing was written.",
          "Привод сообщает об ошибке: сбросьте её перед настройкой. Ничего не записано."),
    122: ("tune_too_little", "Too little excitation: the response is buried in noise at the largest amplitude allowed; raise the amplitude.",
          "Слишком слабое возбуждение: отклик тонет в шуме при наибольшей допустимой амплитуде; увеличьте амплитуду."),
    123: ("tune_targets_missed", "No gains meet the margin targets on the measured plant; nothing was applied.",
          "Ни один набор коэффициентов не обеспечивает заданных запасов на измеренном объекте; ничего не применено."),
    124: ("tune_verify_failed", "The verifying measurement failed (%1); the previous gains and filters are back.",
          "Проверочное измерение не прошло (%1); прежние коэффициенты и фильтры восстановлены."),
    125: ("tune_cancelled", "The tuning was cancelled; the previous settings are back.",
          "Настройка отменена; прежние настройки восстановлены."),
    126: ("tune_fit_failed", "The measured plant cannot be fitted; nothing was applied.",
          "Измеренный объект не удаётся описать моделью; ничего не применено."),
    127: ("tune_record_incomplete", "A record of the tuner from the drive is incomplete (%1).",
          "Запись настройки из привода неполная (%1)."),
    128: ("tune_not_taken", "The drive did not take %1; the tuning stopped and the previous settings are back.",
          "Привод не принял %1; настройка остановлена, прежние настройки восстановлены."),
    130: ("status_poll_silent", "The drive has stopped answering: %1 status polls in a row went "
          "unanswered. The window is offline until you connect again.",
          "Привод перестал отвечать: %1 опросов состояния подряд остались без ответа. Окно "
          "остаётся офлайн до нового подключения."),
    131: ("online_capture_silent", "The drive has stopped sending the oscilloscope's samples; "
          "the capture ended with %1 samples.",
          "Привод перестал передавать отсчёты осциллографа; запись завершена, отсчётов: %1."),
    132: ("offline_record_silent", "The drive has stopped sending the record; %1 of 2048 samples "
          "arrived.",
          "Привод перестал передавать запись; получено отсчётов: %1 из 2048."),
    # The serial port list: a port held by another program, marked with its holders (%1).
    140: ("port_in_use_mark", "in use by %1", "занят: %1"),
    # A command that the data set cannot serve: %1 the database file, %2 the parameter (141) or
    # the number of the status word (142).
    141: ("data_set_lacks_parameter", "The data set %1 has no parameter %2, which this command "
          "needs.",
          "В наборе данных %1 нет параметра %2, нужного этой команде."),
    142: ("data_set_lacks_word", "The data set %1 has no parameter for the status word(s) %2, "
          "which this command reads.",
          "В наборе данных %1 нет параметра для слов(а) состояния %2, которые читает эта команда."),
    143: ("log_late_answers", "  Late answers of the drive dropped: %1",
          "  Запоздавшие ответы привода отброшены: %1"),
    # Reconnecting after the device went away: %1 the device, %2 why it does not open.
    144: ("reconnect_waiting", "The connection to the drive on %1 was lost; waiting for the "
          "device to come back.",
          "Связь с приводом на %1 потеряна; ожидание возвращения устройства."),
    145: ("reconnect_back", "%1 is back: the drive answers again.",
          "%1 снова на месте: привод отвечает."),
    146: ("reconnect_no_drive", "%1 is back, but no drive answers on it.",
          "%1 снова на месте, но привод на нём не отвечает."),
    147: ("reconnect_not_opened", "%1 is back, but it does not open: %2",
          "%1 снова на месте, но не открывается: %2"),
    # The serial port list: the line of a simulated drive, marked with its process id (%1).
    148: ("port_simulator_mark", "simulated drive zrd-sim (PID %1)",
          "имитатор привода zrd-sim (PID %1)"),
    # The offline record ended because the line went away: %1 the samples that came.
    149: ("offline_record_line_lost", "The line to the drive was lost before the record was "
          "complete; %1 of 2048 samples arrived.",
          "Связь с приводом потеряна до конца записи; получено отсчётов: %1 из 2048."),
}

# The message table"s size: numbers above the last message are reserved.
MESSAGE_COUNT = 150

# ---------------------------------------------------------------------------------
# Window dictionary: English window texts and their Russian translations.
# Group and page names of the database are added by build_dictionary().
# ---------------------------------------------------------------------------------

WINDOW_TEXTS = [
    # Window captions
    ("Connection parameters", "Параметры связи"),
    ("Editing of parameter", "Редактирование параметра"),
    ("Parameter ", "Параметр "),
    ("Oscillogram", "Осциллограмма"),
    ("OscillOff", "Осциллограмма офлайн"),
    ("OscillDataRec", "Данные записи осциллографа"),
    ("Information", "Информация"),
    ("Filter calculation", "Расчёт фильтров"),
    ("Wave forms", "Формы сигналов"),
    ("Configuration setting", "Настройка конфигурации"),
    ("Formulas testing", "Проверка формул"),
    ("Service Monitor", "Сервисный монитор"),
    ("Parameters for calculate the AFR and PFR", "Параметры расчёта АЧХ и ФЧХ"),
    ("AFR and PFR", "АЧХ и ФЧХ"),
    ("Bit signal for the trigger", "Задание битвого сигнала для тригера"),
    ("Bit signals", "Битовые сигналы"),
    ("Attention", "Внимание"),
    ("Software solution for the drive is not allowed",
     "Запрещено программное включение привода"),
    # Main menu
    ("File", "Файл"),
    ("Reading parameters from file", "Чтение параметров из файла"),
    ("Reading parameters from drive", "Чтение параметров из привода"),
    ("Reading oscillogram from file", "Чтение осциллограммы из файла"),
    ("Save parameters to file", "Сохранить параметры в файл"),
    ("Save parameters to EEPROM", "Сохранить параметры в EEPROM"),
    ("Save oscillogram to file", "Сохранить осциллограмму в файл"),
    ("Exit", "Выход"),
    ("Connection", "Связь"),
    ("Disconnect", "Отключиться"),
    ("Services", "Сервис"),
    ("Filter calculator", "Калькулятор фильтров"),
    ("Set default parameters", "Установить параметры по умолчанию"),
    ("Type of FG signal", "Тип сигнала генератора"),
    ("RESET", "СБРОС"),
    ("Help", "Справка"),
    ("About", "О программе"),
    ("Special functions", "Специальные функции"),
    ("Drive Initialization", "Инициализация привода"),
    ("RESET (67)", "СБРОС (67)"),
    ("Save to EEPROM DA (65 00)", "Сохранить в EEPROM DA (65 00)"),
    ("Save program's prm to EEPROM DA (65 01)", "Сохранить параметры программы в EEPROM DA (65 01)"),
    ("Load prm from EEPROPM DA (66)", "Загрузить параметры из EEPROM DA (66)"),
    ("Language", "Язык"),
    ("Testing formulas", "Тест формул"),
    ("CALCPARA", "CALCPARA"),
    ("Close special function", "Закрыть специальные функции"),
    ("Admin's functions", "Функции администратора"),
    ("Command monitor", "Монитор команд"),
    ("See OscDatRec", "Просмотр записи осциллографа"),
    ("Close Admin functions", "Закрыть функции администратора"),
    # Group notebook
    ("Block Diagram", "Схема"),
    ("     Drive     ", "     Привод     "),
    ("     Motor     ", "     Двигатель     "),
    ("Oscilloscope online", "Осц. онлайн"),
    ("Oscilloscope offline", "Осц. офлайн"),
    ("Status", "Состояние"),
    ("Appendix info", "Доп. инфо"),
    ("Inverter", "Схема инвертора"),
    ("Current Controller p.1", "Схема регулятора тока ч.1"),
    ("Current Controller p.2", "Схема регулятора тока ч.2"),
    ("Speed Controller", "Схема регулятора скорости"),
    ("Position Controller", "Схема регулятора положения"),
    # Parameter edit dialog
    ("Write", "Запись"),
    ("Cancel", "Отмена"),
    ("Parameter is updated immediately after writing",
     "Параметр действует сразу после записи"),
    ("Parameter is updated when servo is in desable state",
     "Параметр действует при выключенном сервоприводе"),
    ("Parameter is updated after servo reset", "Параметр действует после сброса привода"),
    # Main window: control and drive-state areas
    ("Read", "Чтение"),
    ("On", "Вкл"),
    ("Off", "Выкл"),
    ("PC servo enable", "Включение с ПК"),
    ("Current", "Ток"),
    ("Speed", "Скор."),
    ("Position", "Полож."),
    ("Internal", "Внутр."),
    ("External", "Внешн."),
    ("Start FG", "Пуск ГФ"),
    ("Stop FG", "Стоп ГФ"),
    ("Functional generator", "Функциональный генератор"),
    ("Start monitor", "Пуск монитора"),
    ("Stop monitor", "Стоп монитора"),
    ("Speed command", "Зад. скорости"),
    ("Speed actual", "Скор. факт."),
    ("Current command", "Зад. тока"),
    ("Current actual", "Ток факт."),
    ("Torque command", "Зад. момента"),
    ("Torque actual", "Момент факт."),
    ("Position command", "Зад. положения"),
    ("Position actual", "Полож. факт."),
    ("Analog IN", "Аналог. вход"),
    ("Pulse IN", "Имп. вход"),
    ("Direction", "Направл."),
    ("Follow error", "Рассогл."),
    ("Drive on", "Привод вкл."),
    ("Ready", "Готов"),
    ("rpm", "об/мин"),
    ("cnts", "имп"),
    ("mV", "мВ"),
    ("kHz", "кГц"),
    ("N-cm", "Н·см"),
    # Connection dialog
    ("Port", "Порт"),
    ("Baudrate", "Скорость порта"),
    ("Timeout ms", "Тайм-аут, мс"),
    ("Repeat number", "Число повторов"),
    ("Fast link", "Быстрая связь"),
    ("Reconnect automatically", "Переподключать автоматически"),
    ("Reconnect", "Переподключить"),
    ("Gap, byte times", "Пауза, время байта"),
    ("Short pauses between requests, for a drive that answers at once",
     "Короткие паузы между запросами, для привода, который отвечает сразу"),
    ("Protocol", "Протокол"),
    # Oscilloscope pages
    ("Frequency (Tick)", "Частота (такт)"),
    ("1000 Hz (1 ms)", "1000 Гц (1 мс)"),
    ("500 Hz (2 ms)", "500 Гц (2 мс)"),
    ("250 Hz (4 ms)", "250 Гц (4 мс)"),
    ("125 Hz (8 ms)", "125 Гц (8 мс)"),
    ("Start oscillogram", "Пуск записи"),
    ("Stop oscillogram", "Стоп записи"),
    ("View oscillogram", "Просмотр осциллограммы"),
    ("Reset Oscilloscope", "Сброс осциллографа"),
    ("Date and time of start", "Дата и время начала"),
    ("Date and time of finish", "Дата и время окончания"),
    ("Replay", "Повтор"),
    ("Stop replay", "Стоп повтора"),
    ("Tick (frequency)", "Такт (частота)"),
    ("0.25ms (4000 Hz)", "0.25 мс (4000 Гц)"),
    ("0.5 ms (2000 Hz)", "0.5 мс (2000 Гц)"),
    ("1ms (1000 Hz)", "1 мс (1000 Гц)"),
    ("2ms (500 Hz)", "2 мс (500 Гц)"),
    ("4ms (250 Hz)", "4 мс (250 Гц)"),
    ("8ms (125 Hz)", "8 мс (125 Гц)"),
    ("16ms (62.5 Hz)", "16 мс (62.5 Гц)"),
    ("32ms (31.25 Hz)", "32 мс (31.25 Гц)"),
    ("64ms (15.625 Hz)", "64 мс (15.625 Гц)"),
    ("128ms (7.8125 Hz)", "128 мс (7.8125 Гц)"),
    ("Trigger", "Запуск"),
    ("No trigger", "Без запуска"),
    ("Rising edge trigger", "Запуск по фронту"),
    ("Falling edge trigger", "Запуск по спаду"),
    ("Full buffer", "Полный буфер"),
    ("Pre-defined motion Start FG", "Движение от генератора (Пуск ГФ)"),
    ("Trigger level", "Уровень запуска"),
    ("Pre-position trigger", "Предзапуск"),
    # Viewers
    ("Visible1", "Показ 1"),
    ("Visible2", "Показ 2"),
    ("Visible3", "Показ 3"),
    ("Visible4", "Показ 4"),
    ("Grid", "Сетка"),
    ("Options", "Настройки"),
    ("Axes", "Оси"),
    ("One scale for signals of the same unit", "Одна шкала для сигналов одной единицы"),
    ("Keep the viewer open beside the program", "Оставлять просмотр открытым рядом с программой"),
    ("Clear", "Очистить"),
    ("&Print", "&Печать"),
    ("Print", "Печать"),
    ("Overlay", "Наложение"),
    ("Comments :", "Комментарии :"),
    # Filter calculator
    ("Filter not used", "Фильтр не используется"),
    ("Low pass filter (LPF)", "Фильтр нижних частот (ФНЧ)"),
    ("Band stop  filter (BSF)", "Режекторный фильтр (РФ)"),
    ("Equalizer filter cut (EFC)", "Эквалайзер: подавление (ЭП)"),
    ("Equalizer filter boost (EFB)", "Эквалайзер: усиление (ЭУ)"),
    ("Frequency of the filter (Hz)", "Частота фильтра (Гц)"),
    ("Quality of the filter", "Добротность фильтра"),
    ("Gain coefficient of the filter (dB)", "Коэффициент усиления фильтра (дБ)"),
    ("Calculate", "Рассчитать"),
    ("Filter 1", "Фильтр 1"),
    ("Filter 2", "Фильтр 2"),
    ("Filter 3", "Фильтр 3"),
    ("Filter 4", "Фильтр 4"),
    # Function generator
    ("Constant", "Постоянный"),
    ("Square", "Меандр"),
    ("Sine", "Синус"),
    ("Chirp", "ЛЧМ"),
    ("Rev/minute", "Обороты/минута"),
    ("Counts/second", "Имп/сек"),
    ("Counts/millisesond", "Имп/мсек"),
    ("Rev/min", "Об/мин"),
    ("millisecond", "миллисекунда"),
    ("second", "секунда"),
    ("minute", "минута"),
    ("T - Period (2-2000)", "T - Период (2-2000)"),
    ("Q - Positive widh (0-2000)", "Q - Длительность импульса (0-2000)"),
    ("Repeat times (0-20000)", "Число повторов (0-20000)"),
    ("A - Amplitude (-60 A +60 A)", "A - Амплитуда (-60 A +60 A)"),
    ("L - Offset (-60 A +60 A)", "L - Смещение (-60 A +60 A)"),
    # Configuration and formulas
    ("Drive selection", "Выбор привода"),
    ("Motor selection", "Выбор двигателя"),
    ("Set", "Установить"),
    ("Send CALCPARA command", "Отправить команду CALCPARA"),
    ("show old and new values", "показать старые и новые значения"),
    ("Initial string", "Исходная строка"),
    ("Revers Poland Notation", "Обратная польская запись"),
    ("Result", "Результат"),
    ("Close", "Закрыть"),
    ("Calculation", "Вычисление"),
    ("Do you want to calculate the value?? 0-No, 1- Yes",
     "Вычислить значение?? 0-Нет, 1- Да"),
    ("Enter the value of parameter ", "Введите значение параметра "),
    ("Input the value", "Введите значение"),
    ("Parameter", "Параметр"),
    ("The value of this parameter is not a number:", "Значение этого параметра не является числом:"),
    # Command monitor
    ("BaudRate", "Скорость обмена"),
    ("Data bits", "Биты данных"),
    ("Stop bits", "Стоповые биты"),
    ("Parity", "Чётность"),
    ("Set COM", "Открыть порт"),
    ("Reset", "Сброс"),
    ("Send", "Отправить"),
    ("start FG", "пуск ГФ"),
    ("stop FG", "стоп ГФ"),
    ("Set position", "Задать положение"),
    ("Osciill on", "Осцил. вкл"),
    ("Oscill off", "Осцил. выкл"),
    ("stop osc", "стоп осц."),
    ("enable", "включить"),
    ("desable", "выключить"),
    ("save", "сохранить"),
    ("Com port not install", "Порт не открыт"),
    # Frequency response
    ("Linear frequency axis", "Линейная ось частот"),
    ("Logarithmic frequency axis", "Логарифмическая ось частот"),
    ("Input's signal", "Входной сигнал"),
    ("Output's sighal", "Выходной сигнал"),
    ("Maximum frequency of chart", "Максимальная частота графика"),
    # File dialogs and the About box
    ("Writing parametrers", "Запись параметров"),
    ("Reading parameters", "Чтение параметров"),
    ("Writing oscillogram", "Запись осциллограммы"),
    ("Reading oscillogram", "Чтение осциллограммы"),
    ("Yes", "Да"),
    ("OK", "ОК"),
    ("Enable", "Разрешить"),
    ("Attention ", "Внимание "),
    # Texts the program sets while it runs (also in the message table)
    ("      Data is read successfully", "      Данные успешно прочитаны"),
    ("   Offline", "  Офлайн"),
    ("  Current", "  Ток"),
    ("  Position", " Положение"),
    # Service Monitor (TSer_monitor): the texts not listed above
    ("COM", "COM-порт"),
    ("Read total constant", "Чтение: постоянная"),
    ("Read interval", "Чтение: интервал"),
    ("Read total multiplier", "Чтение: множитель"),
    ("Write total multiplier", "Запись: множитель"),
    ("Write total constant", "Запись: постоянная"),
    ("Request", "Запрос"),
    ("Received", "Принято"),
    ("hex", "шестн."),
    ("dec", "дес"),
    ("decoded", "декод."),
    ("pairs", "пары"),
    ("Record…", "Запись…"),
    ("traffic file", "файл обмена"),
    ("Traffic recording", "Запись обмена"),
    ("Traffic recordings (*.txt);;All files (*)", "Записи обмена (*.txt);;Все файлы (*)"),
    ("No file named for the recording", "Не задан файл для записи обмена"),
    # Language switch: texts of the main window, the pages and the service windows that the
    # walk through every window in Russian found without a translation
    ("Drive state", "Состояние привода"),
    ("Servo enable", "Разреш. серво"),
    ("No connection", "Нет связи"),
    ("Warning", "Предупр."),
    ("Drive type", "Тип привода"),
    ("Motor type", "Тип двигателя"),
    ("Monitor", "Монитор"),
    ("Operating mode", "Режим работы"),
    ("Command source", "Источник задания"),
    ("Parameters", "Параметры"),
    ("Where the values on the pages came from", "Откуда взяты значения на страницах"),
    ("Default", "По умолч."),
    ("Serial number of the drive", "Заводской номер привода"),
    ("Reading all parameters", "Чтение всех параметров"),
    ("Writing all parameters", "Запись всех параметров"),
    ("Read all parameters from the drive", "Прочитать все параметры из привода"),
    ("Store the drive's parameters in its EEPROM", "Сохранить параметры привода в EEPROM"),
    ("S/N", "Зав. №"),
    ("Value", "Значение"),
    ("Minimum", "Минимум"),
    ("Maximum", "Максимум"),
    ("Update", "Вступление в силу"),
    ("Channels", "Каналы"),
    ("Channel 1", "Канал 1"),
    ("Channel 2", "Канал 2"),
    ("Channel 3", "Канал 3"),
    ("Channel 4", "Канал 4"),
    ("Ch1", "К1"),
    ("Ch2", "К2"),
    ("Ch3", "К3"),
    ("Ch4", "К4"),
    ("Inv", "Инв"),
    ("Bits", "Биты"),
    ("Scale", "Масштаб"),
    ("A - Amplitude", "A - Амплитуда"),
    ("L - Offset", "L - Смещение"),
    ("Low-pass", "Нижних частот"),
    ("Band-stop", "Режекторный"),
    ("Equaliser cut", "Эквалайзер, подавление"),
    ("Equaliser boost", "Эквалайзер, усиление"),
    ("Frequency, Hz", "Частота, Гц"),
    # Frequency response tools
    ("Move the mouse over a chart to read the curves; drag across a range to zoom into it, "
     "double-click for the whole range.",
     "Наведите мышь на график, чтобы прочитать кривые; выделите диапазон, чтобы увеличить его, "
     "двойной щелчок — весь диапазон."),
    ("Resonances", "Резонансы"),
    ("The filter calculator with a band-stop at the selected resonance",
     "Калькулятор фильтров с режекторным фильтром на выбранном резонансе"),
    ("Notch...", "Режекция..."),
    ("Overlays", "Наложения"),
    ("Difference to reference", "Разность с эталоном"),
    ("Reads the current response as a closed speed loop T (speed command to actual speed) "
     "and shows the open loop T / (1 - T)",
     "Считает текущую характеристику замкнутым контуром скорости T (задание скорости — "
     "фактическая скорость) и показывает разомкнутый контур T / (1 - T)"),
    ("Open loop from closed loop", "Разомкнутый контур из замкнутого"),
    ("Add file...", "Добавить файл..."),
    ("Save...", "Сохранить..."),
    ("The selected response becomes the reference", "Выбранная характеристика становится эталоном"),
    ("Remove", "Удалить"),
    # Step response
    ("Step response", "Переходная характеристика"),
    ("Step", "Скачок"),
    ("Amplitude, rpm", "Амплитуда, об/мин"),
    ("Base speed, rpm", "Базовая скорость, об/мин"),
    ("Tick", "Такт"),
    ("Speed loop", "Контур скорости"),
    ("KPV, mA/rpm", "KPV, мА/(об/мин)"),
    ("KIV, ms", "KIV, мс"),
    ("Run", "Пуск"),
    ("Run ", "Прогон "),
    ("Show", "Показать"),
    ("Filters", "Фильтры"),
    ("Reference", "Эталон"),
    ("Mark as reference", "Сделать эталоном"),
    ("Export…", "Экспорт…"),
    ("Time, ms", "Время, мс"),
    ("Speed, rpm", "Скорость, об/мин"),
    ("Current, A", "Ток, А"),
    ("command", "задание"),
    ("Overshoot, %", "Перерегулирование, %"),
    ("Rise 10-90 %, ms", "Нарастание 10-90 %, мс"),
    ("Settling ±2 %, ms", "Установление ±2 %, мс"),
    ("Settling ±5 %, ms", "Установление ±5 %, мс"),
    ("Steady-state error, rpm", "Статическая ошибка, об/мин"),
    ("Peak current, A", "Пиковый ток, А"),
    ("Current limited", "Ограничение тока"),
    # Auto tuning
    ("Auto tuning", "Автонастройка"),
    ("Auto tuning...", "Автонастройка..."),
    ("Measures the plant and proposes the gains and notches",
     "Измеряет объект и предлагает коэффициенты и режекторные фильтры"),
    ("Targets", "Цели"),
    ("soft", "мягко"),
    ("stiff", "жёстко"),
    ("Phase margin, °", "Запас по фазе, °"),
    ("Gain margin, dB", "Запас по усилению, дБ"),
    ("auto", "авто"),
    ("Crossover, Hz", "Частота среза, Гц"),
    ("Notch filters", "Режекторные фильтры"),
    ("Max amplitude, rpm", "Наибольшая амплитуда, об/мин"),
    ("Start", "Старт"),
    ("Measures, fits and proposes; writes nothing of the tuning",
     "Измеряет, строит модель и предлагает; ничего из настройки не записывает"),
    ("Model", "Модель"),
    ("Inertia, kg·cm2", "Инерция, кг·см2"),
    ("JRATIO, %", "JRATIO, %"),
    ("Viscous damping, N·cm/krpm", "Вязкое трение, Н·см/(тыс. об/мин)"),
    ("Fit residual, dB", "Невязка модели, дБ"),
    ("Anti-resonance, Hz", "Антирезонанс, Гц"),
    ("Damping ratio", "Коэффициент демпфирования"),
    ("Resonance, Hz", "Резонанс, Гц"),
    ("Before", "До"),
    ("Proposed", "Предложено"),
    ("Measured", "Измерено"),
    ("Apply", "Применить"),
    ("Measures again, writes the proposal and verifies it on the drive",
     "Измеряет снова, записывает предложение и проверяет его на приводе"),
    ("Undo", "Отменить"),
    ("Writes back the gains and filters from before Apply",
     "Возвращает коэффициенты и фильтры, бывшие до применения"),
    ("Save report...", "Сохранить отчёт..."),
    ("Magnitude", "Амплитуда"),
    ("Phase", "Фаза"),
    ("Bode", "ЛАФЧХ"),
    ("Bandwidth -3 dB, Hz", "Полоса -3 дБ, Гц"),
    ("plant, masked bins", "объект, отброшенные точки"),
    ("plant, measured", "объект, измерено"),
    ("model", "модель"),
    ("open loop before", "разомкнутый контур до"),
    ("open loop proposed", "разомкнутый контур предложенный"),
    ("open loop measured", "разомкнутый контур измеренный"),
    ("filters proposed", "предложенные фильтры"),
    ("masked", "отброшено"),
    ("plant", "объект"),
    ("L before", "L до"),
    ("L proposed", "L предложенный"),
    ("L measured", "L измеренный"),
    ("filters", "фильтры"),
    ("phase margin", "запас по фазе"),
    ("gain margin", "запас по усилению"),
    ("before, predicted", "до, расчёт"),
    ("proposed, predicted", "предложено, расчёт"),
    ("measured", "измерено"),
    ("Gain, dB", "Усиление, дБ"),
    ("Response as designed and as quantised", "Характеристика расчётная и после квантования"),
    ("degrees", "градусы"),
    ("AFR", "АЧХ"),
    ("PFR", "ФЧХ"),
    ("Frequency axis", "Ось частот"),
    ("AFR colour", "Цвет АЧХ"),
    ("PFR colour", "Цвет ФЧХ"),
    ("Black", "Чёрный"),
    ("Maroon", "Бордовый"),
    ("Green", "Зелёный"),
    ("Olive", "Оливковый"),
    ("Navy", "Тёмно-синий"),
    ("Purple", "Фиолетовый"),
    ("Teal", "Сине-зелёный"),
    ("Gray", "Серый"),
    ("Silver", "Серебристый"),
    ("Red", "Красный"),
    ("Lime", "Салатовый"),
    ("Yellow", "Жёлтый"),
    ("Blue", "Синий"),
    ("Fuchsia", "Фуксия"),
    ("Aqua", "Голубой"),
    ("White", "Белый"),
    ("bit0", "бит0"),
    ("bit1", "бит1"),
    ("bit2", "бит2"),
    ("bit3", "бит3"),
    ("bit4", "бит4"),
    ("bit5", "бит5"),
    ("bit6", "бит6"),
    ("bit7", "бит7"),
    ("bit8", "бит8"),
    ("bit9", "бит9"),
    ("bit10", "бит10"),
    ("bit11", "бит11"),
    ("bit12", "бит12"),
    ("bit13", "бит13"),
    ("bit14", "бит14"),
    ("bit15", "бит15"),
    # Texts the windows compose while the program runs ("%1" takes a number or a name)
    ("Nothing computed: check Q and the frequency.", "Ничего не рассчитано: проверьте Q и частоту."),
    ("a1 corrected for unit gain at 0 Hz.", "a1 исправлен для единичного усиления на 0 Гц."),
    ("Unstable after quantisation: a pole lies on or outside the unit circle.",
     "Неустойчив после квантования: полюс на единичной окружности или вне её."),
    ("Written.", "Записано."),
    ("Not every parameter was accepted.", "Приняты не все параметры."),
    ("designed |H|", "расчётная |H|"),
    ("designed phase", "расчётная фаза"),
    ("quantised |H|", "квантованная |H|"),
    ("quantised phase", "квантованная фаза"),
    ("deg", "град"),
    ("%1 Hz", "%1 Гц"),
    ("%1: %2 dB, %3 deg", "%1: %2 дБ, %3 град"),
    ("no crossover within the excited band", "нет частоты среза в возбуждённой полосе"),
    ("crossover %1 Hz, phase margin %2 deg, gain margin %3 dB",
     "частота среза %1 Гц, запас по фазе %2 град, запас по усилению %3 дБ"),
    ("%1 (reference)", "%1 (эталон)"),
    ("%1 - reference", "%1 - эталон"),
    ("Anti-resonance %1 Hz, %2 dB", "Антирезонанс %1 Гц, %2 дБ"),
    ("Resonance %1 Hz, %2 dB", "Резонанс %1 Гц, %2 дБ"),
    ("damping %1", "демпфирование %1"),
    ("AFR, dB", "АЧХ, дБ"),
    ("PFR, deg", "ФЧХ, град"),
    ("Filters, dB", "Фильтры, дБ"),
    ("Filters, deg", "Фильтры, град"),
    ("Largest magnitude %1 Hz, %2 dB", "Наибольшая амплитуда %1 Гц, %2 дБ"),
    ("-3 dB at %1 Hz", "-3 дБ на %1 Гц"),
    ("Open loop: %1", "Разомкнутый контур: %1"),
    ("Open loop", "Разомкнутый контур"),
    ("Open loop, dB", "Разомкнутый контур, дБ"),
    ("Open loop, deg", "Разомкнутый контур, град"),
    ("phase margin %1 deg", "запас по фазе %1 град"),
    ("gain margin %1 dB", "запас по усилению %1 дБ"),
    ("type %1, %2 Hz, Q %3", "тип %1, %2 Гц, Q %3"),
    # The tuner's phases and checks
    ("idle", "ожидание"),
    ("checking the drive", "проверка привода"),
    ("fitting the model and proposing gains", "построение модели и подбор коэффициентов"),
    ("writing the proposal", "запись предложения"),
    ("recording a step of the tuned loop", "запись скачка настроенного контура"),
    ("holding the base speed with the tuned loop",
     "удержание базовой скорости настроенным контуром"),
    ("done", "готово"),
    ("crossover", "частота среза"),
    ("closed loop", "замкнутый контур"),
    ("step", "скачок"),
]

# ---------------------------------------------------------------------------------
# Writers
# ---------------------------------------------------------------------------------


def fmt_num(v):
    if isinstance(v, int):
        return str(v)
    if float(v).is_integer():
        return str(int(v))
    return repr(float(v))


class DataSet:
    def __init__(self):
        self.signals = []        # scope signal mnemonics, entry 1 first
        self.rows = []           # resolved parameter rows in file order
        self.numpar = {}
        self.page_names = []     # (English, Russian) page names of groups 1..5
        for gidx, gen, grus, subgroups in GROUPS:
            for sen, srus, rows in subgroups:
                if sen.startswith("Signals_osc_page"):
                    self.signals.extend(r[0] for r in rows)
        for gidx, gen, grus, subgroups in GROUPS:
            for sen, srus, rows in subgroups:
                for r in rows:
                    r = self.resolve(r)
                    self.rows.append((gidx, gen, sen) + (r,))
                    self.numpar[r[0]] = "p%d" % r[1]

    def resolve(self, r):
        r = list(r)
        if r[5] == "NSIG":
            r[5] = len(self.signals)
        if isinstance(r[9], str) and r[9].startswith("SIG:"):
            r[9] = self.signals.index(r[9][4:]) + 1
        return tuple(r)

    def formula(self, text):
        out = text
        for name, key in sorted(self.numpar.items(), key=lambda kv: -len(kv[0])):
            out = out.replace("{%s}" % name, key)
        if "{" in out:
            raise SystemExit("unresolved name in formula: " + text)
        return "f: " + out

    def param_line(self, gidx, r):
        (name, index, vtype, ptype, lo, hi, scale, urus, ueng, default, eng, rus,
         mode, upd) = r
        fields = [name, str(index), vtype, ptype, fmt_num(lo), fmt_num(hi), fmt_num(scale),
                  urus, ueng, fmt_num(default), eng, rus, str(mode), str(upd), str(gidx)]
        return "p%d=" % index + ",".join(fields)

    def database_lines(self):
        lines = ["ZRD servo drive family: parameter database",
                 "Language=Eng",
                 "; The second line sets the interface language: Eng for English,"
                 " any other word (Rus) for Russian.",
                 "; Parameter line: pN=Mnemonic,Index,Type,Access,Min,Max,Scale,Unit (rus),"
                 "Unit (eng),Default,Description (eng),Description (rus),Mode_mes,"
                 "Update,Group"]
        by_key = {}
        for gidx, gen, grus, subgroups in GROUPS:
            lines.append("[Group]")
            lines.append("Name_group=%s,%s" % (gen, grus))
            for sen, srus, rows in subgroups:
                lines.append("[Subgroup]")
                lines.append("Name_subgroup=%s,%s" % (sen, srus))
                for r in rows:
                    r = self.resolve(r)
                    by_key[r[0]] = (gidx, r)
                    lines.append(self.param_line(gidx, r))
        lines.append("; State bits: Col lines for the words 240 (state) 241 (errors) "
                     "242 (warnings)")
        for word, bits in STATE_BITS.items():
            for nbit, (pname, eng, rus) in enumerate(bits):
                lines.append("Col%d_%d=%s,%d,%d,R,%s,%s,0,6" % (word, nbit, pname, word, nbit,
                                                             eng, rus))
        lines.append("; Application bits: App lines for the words 243 (APPSGN) "
                     "244 (DINSTA) 246 (APXERR)")
        for word, bits in APP_BITS.items():
            for nbit, (pname, eng, rus) in enumerate(bits):
                lines.append("App%d_%d=%s,%d,%d,R,%s,%s,0,7" % (word, nbit, pname, word, nbit,
                                                             eng, rus))
        lines.append("; Scope bits: the bits of the APXSTA signal (osc lines carry index 0)")
        for nbit, (pname, eng, rus) in enumerate(SCOPE_BITS):
            lines.append("osc_%d=%s,0,%d,R,%s,%s,0,0" % (nbit, pname, nbit, eng, rus))
        lines.append("; Calculated parameters: limits and defaults that follow the drive type"
                     " (DT) and the motor type (MT)")
        lines.append("; Rf,pN=...(as a parameter line)...,Pass,Reason (1 drive 2 motor 3 both),"
                     "Formula fields (1 min 2 max 4 default)")
        for pname, prior, reason, fmin, fmax, fdef in CALCULATED:
            gidx, r = by_key[pname]
            (name, index, vtype, ptype, lo, hi, scale, urus, ueng, default, eng, rus,
             mode, upd) = r
            tcalc = (1 if fmin else 0) + (2 if fmax else 0) + (4 if fdef else 0)
            fields = ["Rf", "p%d=%s" % (index, name), str(index), vtype, ptype,
                      self.formula(fmin) if fmin else fmt_num(lo),
                      self.formula(fmax) if fmax else fmt_num(hi),
                      fmt_num(scale), urus, ueng,
                      self.formula(fdef) if fdef else fmt_num(default),
                      eng, rus, str(mode), str(upd), str(gidx), str(prior), str(reason),
                      str(tcalc)]
            lines.append(",".join(fields))
        return lines

    def page_list(self):
        """(English, Russian) page names as the page builder names them."""
        pages = []
        for gidx, gen, grus, subgroups in GROUPS:
            if not 1 <= gidx <= 5:
                continue
            n = 0
            for sen, srus, rows in subgroups:
                shown = [r for r in rows if r[12] == 0]
                if not shown:
                    continue
                if gidx == 1:
                    pages.append((sen, srus))
                    continue
                for start in range(0, len(shown), 16):
                    n += 1
                    pages.append(("%s_page%d" % (sen, n), "%s_стр%d" % (srus, n)))
        return pages

    def dictionary(self):
        pairs = list(WINDOW_TEXTS)
        for gidx, gen, grus, subgroups in GROUPS:
            if 1 <= gidx <= 5:
                pairs.append((gen, grus))
        pairs.extend(self.page_list())
        seen = set()
        out = []
        for en, ru in pairs:
            # A dictionary line is "English=Russian": an English text with "=" would be cut.
            if "=" in en:
                raise SystemExit("dictionary text holds '=': " + en)
            if en in seen:
                continue
            seen.add(en)
            out.append((en, ru))
        return out


def write_text(path, lines, bom=True):
    data = "".join(line + "\r\n" for line in lines).encode("utf-8")
    if bom:
        data = b"\xef\xbb\xbf" + data
    with open(path, "wb") as f:
        f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--out", default=os.path.join(here, "..", "data"))
    args = ap.parse_args()
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    ds = DataSet()

    write_text(os.path.join(out, "Param_base.mod"), ds.database_lines())

    motor_lines = ["Motor " + " ".join(MOTOR_HEADER)]
    for k, (name, values) in enumerate(MOTORS, start=1):
        motor_lines.append(" ".join([name, str(k)] + [str(v) for v in values]))
    write_text(os.path.join(out, "Motor_type.mod"), motor_lines, bom=False)

    drive_lines = ["Drive DT"] + ["%s %d" % (name, k) for k, name in enumerate(DRIVES, 1)]
    write_text(os.path.join(out, "Drive_type.mod"), drive_lines, bom=False)

    mess = []
    for n in range(MESSAGE_COUNT):
        name, eng, rus = MESSAGES.get(n, ("reserved%02d" % n, "Reserved message %d" % n,
                                          "Резервное сообщение %d" % n))
        mess.append("%s:%s=%s" % (name, eng, rus))
    write_text(os.path.join(out, "mess.dic"), mess)

    write_text(os.path.join(out, "dict_eng.dic"),
               ["%s=%s" % pair for pair in ds.dictionary()])

    for fname, table in (("digital_inp.dic", DIGITAL_INPUTS),
                         ("digital_out.dic", DIGITAL_OUTPUTS),
                         ("analog_out.dic", ANALOG_OUTPUTS)):
        write_text(os.path.join(out, fname),
                   ["%d - %s=%d - %s" % (k, en, k, ru) for k, (en, ru) in enumerate(table)])
    print("data set written to", out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
