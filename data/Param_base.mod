ZRD servo drive family: parameter database
Language=Eng
; The second line sets the interface language: Eng for English, any other word (Rus) for Russian.
; Parameter line: pN=Mnemonic,Index,Type,Access,Min,Max,Scale,Unit (rus),Unit (eng),Default,Description (eng),Description (rus),Mode_mes,Update,Group
[Group]
Name_group=Drive,Привод
[Subgroup]
Name_subgroup=Identification,Идентификация
p250=SNH,250,UINT,-,0,65535,1,,,1,Serial number high word,Серийный номер (старшее слово),0,0,1
p251=SNL,251,UINT,-,0,65535,1,,,2345,Serial number low word,Серийный номер (младшее слово),0,0,1
p252=HVER,252,UINT,R,0,999,0.1,,,21,Hardware version,Версия аппаратуры,0,0,1
p253=FVER,253,UINT,R,0,9999,0.01,,,215,Firmware version,Версия программы привода,0,0,1
p0=DT,0,UINT,R-W,1,10,1,,,6,Drive type,Тип привода,0,2,1
p1=DICONT,1,UINT,R,0,20000,0.01,А,A,1600,Drive continuous current,Длительный ток привода,0,0,1
p2=DIPEAK,2,UINT,R,0,60000,0.01,А,A,4800,Drive peak current,Пиковый ток привода,0,0,1
p3=DVBUS,3,UINT,R,0,10000,0.1,В,V,5600,Nominal DC bus voltage,Номинальное напряжение звена,0,0,1
p4=PWMF,4,UINT,R-W,8,16,1,кГц,kHz,16,PWM frequency,Частота ШИМ,0,2,1
[Subgroup]
Name_subgroup=Operation,Работа
p5=OPMOD,5,UINT,R-W,1,3,1,,,2,Operating mode (1 current 2 speed 3 position),Режим работы (1 ток 2 скорость 3 положение),0,1,1
p6=INST,6,UINT,R-W,0,3,1,,,3,Command source (0 1 internal 2 pulse 3 analog),Источник задания (0 1 внутр. 2 импульсы 3 аналог),0,1,1
p7=ENMOD,7,UINT,R-W,0,2,1,,,1,Enable mode (0 input 1 PC 2 input and PC),Режим разрешения (0 вход 1 ПК 2 вход и ПК),0,1,1
p8=AUTOEN,8,UINT,R-W,0,1,1,,,0,Enable at power on,Включение при подаче питания,0,0,1
p9=STPDEC,9,UINT,R-W,1,30000,1,мс,ms,200,Stop deceleration time,Время торможения при останове,0,0,1
p10=QSTOPT,10,UINT,R-W,1,10000,1,мс,ms,50,Quick stop time,Время быстрого останова,0,0,1
p11=BRKREL,11,UINT,R-W,0,2000,1,мс,ms,100,Brake release delay,Задержка отпускания тормоза,0,0,1
p12=BRKENG,12,UINT,R-W,0,2000,1,мс,ms,150,Brake engage delay,Задержка наложения тормоза,0,0,1
p13=REGEN,13,UINT,R-W,0,1,1,,,1,Braking resistor enable,Тормозной резистор включён,0,0,1
p14=REGRES,14,UINT,R-W,1,1000,1,Ом,Ohm,47,Braking resistor value,Сопротивление тормозного резистора,0,0,1
p15=REGPWR,15,UINT,R-W,10,5000,1,Вт,W,100,Braking resistor power,Мощность тормозного резистора,0,0,1
p16=UVLIM,16,UINT,R-W,0,8000,0.1,В,V,2000,DC bus undervoltage level,Порог пониженного напряжения звена,0,0,1
[Subgroup]
Name_subgroup=Communication,Интерфейс связи
p17=ADDR,17,UINT,R-W,1,31,1,,,1,Drive address,Адрес привода,0,2,1
p18=BAUDSEL,18,UINT,R-W,0,9,1,,,9,Baud rate code (9 is 115200),Код скорости обмена (9 это 115200),0,2,1
p19=COMTO,19,UINT,R-W,0,60000,1,мс,ms,0,Communication watchdog (0 off),Контроль связи (0 выкл.),0,0,1
[Subgroup]
Name_subgroup=Function generator,Генератор функций
p20=IIT,20,UINT,R-W,0,4,1,,,3,Generator signal (1 const 2 square 3 sine 4 chirp),Сигнал генератора (1 пост. 2 меандр 3 синус 4 ЛЧМ),0,0,1
p21=IIP1V,21,INT,R-W,-6000,6000,1,,,500,Generator amplitude,Амплитуда генератора,0,0,1
p22=IIP2V,22,INT,R-W,-6000,6000,1,,,0,Generator offset,Смещение генератора,0,0,1
p23=IIP3V,23,UINT,R-W,0,2000,1,,,100,Generator period (chirp end frequency),Период генератора (конечная частота ЛЧМ),0,0,1
p24=IIP4V,24,UINT,R-W,0,2000,1,,,50,Generator pulse width (chirp start frequency),Длительность импульса (начальная частота ЛЧМ),0,0,1
p25=IIP1U,25,UINT,R-W,0,1,1,,,0,Amplitude unit (0 first 1 counts per second),Единица амплитуды (0 первая 1 имп/с),0,0,1
p26=IIP2U,26,UINT,R-W,0,1,1,,,0,Offset unit (0 first 1 counts per second),Единица смещения (0 первая 1 имп/с),0,0,1
p27=IIP3U,27,UINT,R-W,0,2,1,,,0,Period unit (0 ms 1 s 2 min),Единица периода (0 мс 1 с 2 мин),0,0,1
p28=IIP4U,28,UINT,R-W,0,2,1,,,0,Pulse width unit (0 ms 1 s 2 min),Единица длительности (0 мс 1 с 2 мин),0,0,1
p29=PCRT,29,UINT,R-W,0,20000,1,,,0,Generator repeat count (0 endless),Число повторов генератора (0 непрерывно),0,0,1
[Subgroup]
Name_subgroup=Digital inputs,Цифровые входы
p30=DINLEV,30,UINT,W,0,255,1,,,0,Digital input inversion mask,Маска инверсии цифровых входов,0,0,1
p31=DIN1,31,UINT,R-W,0,15,1,,,1,Digital input 1 function,Функция цифрового входа 1,0,0,1
p32=DIN2,32,UINT,R-W,0,15,1,,,2,Digital input 2 function,Функция цифрового входа 2,0,0,1
p33=DIN3,33,UINT,R-W,0,15,1,,,3,Digital input 3 function,Функция цифрового входа 3,0,0,1
p34=DIN4,34,UINT,R-W,0,15,1,,,4,Digital input 4 function,Функция цифрового входа 4,0,0,1
p35=DIN5,35,UINT,R-W,0,15,1,,,5,Digital input 5 function,Функция цифрового входа 5,0,0,1
p36=DIN6,36,UINT,R-W,0,15,1,,,0,Digital input 6 function,Функция цифрового входа 6,0,0,1
p37=DIN7,37,UINT,R-W,0,15,1,,,0,Digital input 7 function,Функция цифрового входа 7,0,0,1
p38=DIN8,38,UINT,R-W,0,15,1,,,0,Digital input 8 function,Функция цифрового входа 8,0,0,1
p39=INFLT,39,UINT,R-W,0,100,1,мс,ms,2,Digital input filter,Фильтр цифровых входов,0,0,1
[Subgroup]
Name_subgroup=Digital outputs,Цифровые выходы
p40=DOUT1,40,UINT,R-W,0,13,1,,,1,Digital output 1 function,Функция цифрового выхода 1,0,0,1
p41=DOUT2,41,UINT,R-W,0,13,1,,,3,Digital output 2 function,Функция цифрового выхода 2,0,0,1
p42=DOUT3,42,UINT,R-W,0,13,1,,,9,Digital output 3 function,Функция цифрового выхода 3,0,0,1
p43=DOUT4,43,UINT,R-W,0,13,1,,,0,Digital output 4 function,Функция цифрового выхода 4,0,0,1
p44=DOLEV,44,UINT,R-W,0,15,1,,,0,Digital output inversion mask,Маска инверсии цифровых выходов,0,0,1
[Subgroup]
Name_subgroup=Analog inputs and outputs,Аналоговые входы и выходы
p45=AINOFF,45,INT,R-W,-1000,1000,1,мВ,mV,0,Analog input offset,Смещение аналогового входа,0,0,1
p46=AINDB,46,UINT,R-W,0,1000,1,мВ,mV,0,Analog input dead band,Зона нечувствительности аналогового входа,0,0,1
p47=AINFLT,47,UINT,R-W,0,1000,0.1,мс,ms,10,Analog input filter time,Постоянная фильтра аналогового входа,0,0,1
p48=AINSCV,48,UINT,R-W,1,20000,1,об/мин,rpm,4500,Speed at 10 V analog command,Скорость при задании 10 В,0,0,1
p49=AINSCI,49,UINT,R-W,1,30000,0.01,А,A,1320,Current at 10 V analog command,Ток при задании 10 В,0,0,1
p50=AOUT1,50,UINT,R-W,0,10,1,,,1,Analog output 1 function,Функция аналогового выхода 1,0,0,1
p51=AOUT2,51,UINT,R-W,0,10,1,,,3,Analog output 2 function,Функция аналогового выхода 2,0,0,1
p52=AO1SCL,52,UINT,R-W,1,30000,1,,,3000,Analog output 1 value at 10 V,Значение аналогового выхода 1 при 10 В,0,0,1
p53=AO2SCL,53,UINT,R-W,1,30000,1,,,1000,Analog output 2 value at 10 V,Значение аналогового выхода 2 при 10 В,0,0,1
p54=AO1OFS,54,INT,R-W,-1000,1000,1,мВ,mV,0,Analog output 1 offset,Смещение аналогового выхода 1,0,0,1
p55=AO2OFS,55,INT,R-W,-1000,1000,1,мВ,mV,0,Analog output 2 offset,Смещение аналогового выхода 2,0,0,1
[Subgroup]
Name_subgroup=Oscilloscope,Осциллограф
p56=OSCMOD,56,UINT,W,0,1,1,,,0,Oscilloscope mode (1 online 0 offline),Режим осциллографа (1 онлайн 0 офлайн),0,0,1
p57=MDFRQ,57,UINT,R-W,1,4,1,,,1,Online sample rate (1 1000 Hz to 4 125 Hz),Частота онлайн записи (1 1000 Гц ... 4 125 Гц),0,0,1
p58=MDTYP1,58,UINT,R-W,0,41,1,,,7,Online channel 1 signal,Сигнал онлайн канала 1,0,0,1
p59=MDTYP2,59,UINT,R-W,0,41,1,,,8,Online channel 2 signal,Сигнал онлайн канала 2,0,0,1
p60=RCFREQ,60,UINT,R-W,0,9,1,,,2,Offline tick code (0 0.25 ms to 9 128 ms),Код такта офлайн записи (0 0.25 мс ... 9 128 мс),0,0,1
p61=CH1SEL,61,UINT,R-W,0,41,1,,,7,Offline channel 1 signal,Сигнал офлайн канала 1,0,0,1
p62=CH2SEL,62,UINT,R-W,0,41,1,,,8,Offline channel 2 signal,Сигнал офлайн канала 2,0,0,1
p63=CH3SEL,63,UINT,R-W,0,41,1,,,2,Offline channel 3 signal,Сигнал офлайн канала 3,0,0,1
p64=CH4SEL,64,UINT,R-W,0,41,1,,,3,Offline channel 4 signal,Сигнал офлайн канала 4,0,0,1
p65=TRGTYP,65,UINT,R-W,0,4,1,,,0,Trigger type (0 none 1 rise 2 fall 3 full 4 generator),Тип запуска (0 нет 1 фронт 2 спад 3 буфер 4 генератор),0,0,1
p66=TRGSRC,66,UINT,R-W,1,4,1,,,1,Trigger source channel,Канал запуска,0,0,1
p67=TRGLEV,67,INT,R-W,-30000,30000,1,,,0,Trigger level (raw units of the source),Уровень запуска (единицы источника),0,0,1
p68=TRGPOS,68,UINT,R-W,0,2047,1,,,0,Pre-trigger samples,Число точек до запуска,0,0,1
p69=OSCTRG,69,UINT,R,0,2047,1,,,0,Trigger sample of the last record,Точка запуска последней записи,0,0,1
[Group]
Name_group=Motor,Двигатель
[Subgroup]
Name_subgroup=Motor data,Данные двигателя
p70=MT,70,UINT,R-W,1,12,1,,,5,Motor type,Тип двигателя,0,1,2
p71=MPI,71,UINT,R-W,0,30000,0.01,А,A,1320,Motor peak current,Пиковый ток двигателя,0,1,2
p72=MICONT,72,UINT,R-W,0,30000,0.01,А,A,440,Motor continuous current,Длительный ток двигателя,0,1,2
p73=MKT,73,UINT,R-W,1,10000,0.1,Н·см/А,N-cm/A,540,Torque constant,Постоянная момента,0,1,2
p74=MKE,74,UINT,R-W,1,10000,0.1,В/тыс.об/мин,V/krpm,330,Back EMF constant,Постоянная противо-ЭДС,0,1,2
p75=MPOLES,75,UINT,R-W,2,64,1,,,8,Number of motor poles,Число полюсов двигателя,0,1,2
p76=MVMAX,76,UINT,R-W,1,20000,1,об/мин,rpm,4500,Maximum motor speed,Максимальная скорость двигателя,0,1,2
p77=MVNOM,77,UINT,R-W,1,20000,1,об/мин,rpm,3000,Rated motor speed,Номинальная скорость двигателя,0,1,2
p78=MRES,78,UINT,R-W,1,60000,0.001,Ом,Ohm,600,Winding resistance (phase to phase),Сопротивление обмотки (линейное),0,1,2
p79=MLIND,79,UINT,R-W,1,60000,0.01,мГн,mH,250,Winding inductance (phase to phase),Индуктивность обмотки (линейная),0,1,2
p80=MJ,80,UINT,R-W,1,60000,0.01,кг·см2,kg*cm2,110,Rotor inertia,Момент инерции ротора,0,1,2
p81=MTNOM,81,UINT,R-W,1,60000,1,Н·см,N-cm,239,Rated torque,Номинальный момент,0,1,2
p82=MTHTC,82,UINT,R-W,1,7200,1,с,s,1200,Motor thermal time constant,Тепловая постоянная двигателя,0,1,2
p83=ENCTYP,83,UINT,R-W,0,4,1,,,1,Feedback (0 incr. 1 sin/cos 2 resolver 3 absolute 4 Hall),Датчик (0 инкр. 1 sin/cos 2 резольвер 3 абсолютный 4 Холл),0,2,2
p84=ENCR,84,UINT,R-W,4,65535,1,имп,cnts,16384,Encoder counts per revolution,Импульсов датчика на оборот,0,2,2
p85=ENCDIR,85,UINT,R-W,0,1,1,,,0,Encoder direction inversion,Инверсия направления датчика,0,1,2
p86=HALLOFS,86,UINT,R-W,0,359,1,эл.град,el.deg,0,Hall sensor offset,Смещение датчиков Холла,0,1,2
p87=COMOFS,87,UINT,R-W,0,359,1,эл.град,el.deg,0,Commutation offset,Смещение коммутации,0,1,2
p88=MBRAKE,88,UINT,R-W,0,1,1,,,0,Motor holding brake fitted,Двигатель с тормозом,0,1,2
p89=MDIR,89,UINT,R-W,0,1,1,,,0,Motor direction inversion,Инверсия направления двигателя,0,1,2
[Subgroup]
Name_subgroup=Motor protection,Защита двигателя
p90=MTSENS,90,UINT,R-W,0,3,1,,,1,Temperature sensor (0 none 1 PTC 2 KTY 3 NTC),Датчик температуры (0 нет 1 PTC 2 KTY 3 NTC),0,1,2
p91=MTEMPW,91,UINT,R-W,0,2000,0.1,°C,°C,1200,Motor temperature warning level,Порог предупреждения по температуре двигателя,0,0,2
p92=MTEMPF,92,UINT,R-W,0,2000,0.1,°C,°C,1400,Motor temperature fault level,Порог аварии по температуре двигателя,0,0,2
p93=MI2TLV,93,UINT,R-W,50,150,1,%,%,110,Motor overload level (i2t),Порог перегрузки двигателя (i2t),0,0,2
p94=MOVSPD,94,UINT,R-W,1,30000,1,об/мин,rpm,5400,Overspeed fault level,Порог превышения скорости,0,0,2
p95=MSTALL,95,UINT,R-W,0,10000,1,мс,ms,2000,Stall detection time (0 off),Время обнаружения заклинивания (0 выкл.),0,0,2
[Subgroup]
Name_subgroup=Commutation,Коммутация
p96=COMMOD,96,UINT,R-W,0,2,1,,,0,Commutation start (0 Hall 1 phase finding 2 absolute),Начальная коммутация (0 Холл 1 поиск фазы 2 абсолютный),0,2,2
p97=PHFI,97,UINT,R-W,0,440,0.01,А,A,220,Phase finding current,Ток поиска фазы,0,1,2
p98=PHFT,98,UINT,R-W,10,10000,1,мс,ms,500,Phase finding time,Время поиска фазы,0,1,2
[Group]
Name_group=Current controller,Регулятор тока
[Subgroup]
Name_subgroup=Current limits,Ограничения тока
p99=IFL,99,UINT,R-W,0,1320,0.01,А,A,1320,Peak current limit,Предельный пиковый ток,0,0,3
p100=IWL,100,UINT,R-W,0,1320,0.01,А,A,1188,Current warning level,Порог предупреждения по току,0,0,3
p101=ICONT,101,UINT,R-W,0,440,0.01,А,A,440,Continuous current limit,Предельный длительный ток,0,0,3
p102=ILIMP,102,UINT,R-W,0,1320,0.01,А,A,1320,Positive current limit,Ограничение тока в положительном направлении,0,0,3
p103=ILIMN,103,UINT,R-W,0,1320,0.01,А,A,1320,Negative current limit (magnitude),Ограничение тока в отрицательном направлении,0,0,3
p104=I2TT,104,UINT,R-W,1,10000,1,мс,ms,2000,Peak current time (i2t),Допустимое время пикового тока (i2t),0,0,3
[Subgroup]
Name_subgroup=Current loop,Контур тока
p105=KPI,105,UINT,R-W,0,30000,0.01,В/А,V/A,1500,Current loop proportional gain,Пропорциональный коэффициент контура тока,0,0,3
p106=KII,106,UINT,R-W,1,30000,0.01,мс,ms,417,Current loop integral time,Постоянная интегрирования контура тока,0,0,3
p107=KFFE,107,UINT,R-W,0,100,1,%,%,100,Back EMF feed forward,Компенсация противо-ЭДС,0,0,3
p108=ICFILT,108,UINT,R-W,0,8000,1,Гц,Hz,0,Current command filter (0 off),Фильтр задания тока (0 выкл.),0,0,3
p109=VDMAX,109,UINT,R-W,50,100,1,%,%,95,Output voltage limit,Ограничение выходного напряжения,0,0,3
p110=DTCOMP,110,UINT,R-W,0,500,0.01,мкс,us,150,Dead time compensation,Компенсация мёртвого времени,0,1,3
p111=FLDWK,111,UINT,R-W,0,1,1,,,0,Field weakening enable,Ослабление поля,0,1,3
p112=IDMAX,112,UINT,R-W,0,30000,0.01,А,A,220,Maximum field weakening current,Максимальный ток ослабления поля,0,0,3
p113=ADOFSU,113,INT,R,-2000,2000,1,,,0,Phase U current sensor offset,Смещение датчика тока фазы U,1,0,3
p114=ADOFSV,114,INT,R,-2000,2000,1,,,0,Phase V current sensor offset,Смещение датчика тока фазы V,1,0,3
[Group]
Name_group=Speed controller,Регулятор скорости
[Subgroup]
Name_subgroup=Speed loop,Контур скорости
p115=KPV,115,UINT,R-W,0,30000,0.01,мА/(об/мин),mA/rpm,500,Speed loop proportional gain,Пропорциональный коэффициент контура скорости,0,0,4
p116=KIV,116,UINT,R-W,1,30000,0.1,мс,ms,100,Speed loop integral time,Постоянная интегрирования контура скорости,0,0,4
p117=KDV,117,UINT,R-W,0,1000,1,%,%,0,Speed loop derivative gain,Дифференциальный коэффициент контура скорости,0,0,4
p118=KAFF,118,UINT,R-W,0,1000,1,%,%,0,Acceleration feed forward,Упреждение по ускорению,0,0,4
p119=VLIM,119,UINT,R-W,0,4500,1,об/мин,rpm,4500,Speed limit,Ограничение скорости,0,0,4
p120=ACC,120,UINT,R-W,0,60000,1,мс,ms,100,Acceleration time (0 to 1000 rpm),Время разгона (0 ... 1000 об/мин),0,0,4
p121=DEC,121,UINT,R-W,0,60000,1,мс,ms,100,Deceleration time (1000 rpm to 0),Время торможения (1000 ... 0 об/мин),0,0,4
p122=VFILT,122,UINT,R-W,0,4000,1,Гц,Hz,1000,Speed feedback filter (0 off),Фильтр обратной связи по скорости (0 выкл.),0,0,4
p123=VCFILT,123,UINT,R-W,0,4000,1,Гц,Hz,0,Speed command filter (0 off),Фильтр задания скорости (0 выкл.),0,0,4
p124=VZERO,124,UINT,R-W,0,1000,1,об/мин,rpm,10,Zero speed window,Окно нулевой скорости,0,0,4
p125=VREACH,125,UINT,R-W,0,1000,1,об/мин,rpm,20,Speed reached window,Окно достижения скорости,0,0,4
p126=VERRMX,126,UINT,R-W,0,20000,1,об/мин,rpm,1000,Speed error fault level (0 off),Порог аварии по ошибке скорости (0 выкл.),0,0,4
p127=KPV2,127,UINT,R-W,0,30000,0.01,мА/(об/мин),mA/rpm,500,Proportional gain of gain set 2,Пропорциональный коэффициент (набор 2),0,0,4
p128=KIV2,128,UINT,R-W,1,30000,0.1,мс,ms,100,Integral time of gain set 2,Постоянная интегрирования (набор 2),0,0,4
p129=GSWMOD,129,UINT,R-W,0,3,1,,,0,Gain switching (0 off 1 input 2 speed 3 in position),Переключение коэффициентов (0 нет 1 вход 2 скорость 3 в позиции),0,0,4
p130=GSWLV,130,UINT,R-W,0,20000,1,об/мин,rpm,100,Gain switching speed,Скорость переключения коэффициентов,0,0,4
p131=VOBS,131,UINT,R-W,0,1,1,,,0,Speed observer enable,Наблюдатель скорости,0,1,4
p132=JRATIO,132,UINT,R-W,0,10000,1,%,%,100,Load to rotor inertia ratio,Отношение инерции нагрузки к инерции ротора,0,0,4
[Subgroup]
Name_subgroup=Filter 1,Фильтр 1
p133=F1TYPE,133,UINT,R-W,0,4,1,,,0,Filter 1 type (0 off 1 LPF 2 BSF 3 EFC 4 EFB),Фильтр 1: тип (0 выкл. 1 ФНЧ 2 РФ 3 ЭК 4 ЭП),0,0,4
p134=F1FRE,134,UINT,R-W,10,3999,1,Гц,Hz,250,Filter 1 frequency,Фильтр 1: частота,0,0,4
p135=F1QUA,135,UINT,R-W,100,20000,0.001,,,707,Filter 1 quality,Фильтр 1: добротность,0,0,4
p136=F1GL,136,INT,R-W,-400,400,0.1,дБ,dB,10,Filter 1 gain,Фильтр 1: усиление,0,0,4
p137=F1NUM0,137,INT,R-W,-32768,32767,0.0001,,,10000,Filter 1 coefficient b0,Фильтр 1: коэффициент b0,0,0,4
p138=F1NUM1,138,INT,R-W,-32768,32767,0.0001,,,0,Filter 1 coefficient b1,Фильтр 1: коэффициент b1,0,0,4
p139=F1NUM2,139,INT,R-W,-32768,32767,0.0001,,,0,Filter 1 coefficient b2,Фильтр 1: коэффициент b2,0,0,4
p140=F1DEN1,140,INT,R-W,-32768,32767,0.0001,,,0,Filter 1 coefficient a1,Фильтр 1: коэффициент a1,0,0,4
p141=F1DEN2,141,INT,R-W,-32768,32767,0.0001,,,0,Filter 1 coefficient a2,Фильтр 1: коэффициент a2,0,0,4
[Subgroup]
Name_subgroup=Filter 2,Фильтр 2
p142=F2TYPE,142,UINT,R-W,0,4,1,,,0,Filter 2 type (0 off 1 LPF 2 BSF 3 EFC 4 EFB),Фильтр 2: тип (0 выкл. 1 ФНЧ 2 РФ 3 ЭК 4 ЭП),0,0,4
p143=F2FRE,143,UINT,R-W,10,3999,1,Гц,Hz,500,Filter 2 frequency,Фильтр 2: частота,0,0,4
p144=F2QUA,144,UINT,R-W,100,20000,0.001,,,707,Filter 2 quality,Фильтр 2: добротность,0,0,4
p145=F2GL,145,INT,R-W,-400,400,0.1,дБ,dB,10,Filter 2 gain,Фильтр 2: усиление,0,0,4
p146=F2NUM0,146,INT,R-W,-32768,32767,0.0001,,,10000,Filter 2 coefficient b0,Фильтр 2: коэффициент b0,0,0,4
p147=F2NUM1,147,INT,R-W,-32768,32767,0.0001,,,0,Filter 2 coefficient b1,Фильтр 2: коэффициент b1,0,0,4
p148=F2NUM2,148,INT,R-W,-32768,32767,0.0001,,,0,Filter 2 coefficient b2,Фильтр 2: коэффициент b2,0,0,4
p149=F2DEN1,149,INT,R-W,-32768,32767,0.0001,,,0,Filter 2 coefficient a1,Фильтр 2: коэффициент a1,0,0,4
p150=F2DEN2,150,INT,R-W,-32768,32767,0.0001,,,0,Filter 2 coefficient a2,Фильтр 2: коэффициент a2,0,0,4
[Subgroup]
Name_subgroup=Filter 3,Фильтр 3
p151=F3TYPE,151,UINT,R-W,0,4,1,,,0,Filter 3 type (0 off 1 LPF 2 BSF 3 EFC 4 EFB),Фильтр 3: тип (0 выкл. 1 ФНЧ 2 РФ 3 ЭК 4 ЭП),0,0,4
p152=F3FRE,152,UINT,R-W,10,3999,1,Гц,Hz,1000,Filter 3 frequency,Фильтр 3: частота,0,0,4
p153=F3QUA,153,UINT,R-W,100,20000,0.001,,,707,Filter 3 quality,Фильтр 3: добротность,0,0,4
p154=F3GL,154,INT,R-W,-400,400,0.1,дБ,dB,10,Filter 3 gain,Фильтр 3: усиление,0,0,4
p155=F3NUM0,155,INT,R-W,-32768,32767,0.0001,,,10000,Filter 3 coefficient b0,Фильтр 3: коэффициент b0,0,0,4
p156=F3NUM1,156,INT,R-W,-32768,32767,0.0001,,,0,Filter 3 coefficient b1,Фильтр 3: коэффициент b1,0,0,4
p157=F3NUM2,157,INT,R-W,-32768,32767,0.0001,,,0,Filter 3 coefficient b2,Фильтр 3: коэффициент b2,0,0,4
p158=F3DEN1,158,INT,R-W,-32768,32767,0.0001,,,0,Filter 3 coefficient a1,Фильтр 3: коэффициент a1,0,0,4
p159=F3DEN2,159,INT,R-W,-32768,32767,0.0001,,,0,Filter 3 coefficient a2,Фильтр 3: коэффициент a2,0,0,4
[Subgroup]
Name_subgroup=Filter 4,Фильтр 4
p160=F4TYPE,160,UINT,R-W,0,4,1,,,0,Filter 4 type (0 off 1 LPF 2 BSF 3 EFC 4 EFB),Фильтр 4: тип (0 выкл. 1 ФНЧ 2 РФ 3 ЭК 4 ЭП),0,0,4
p161=F4FRE,161,UINT,R-W,10,3999,1,Гц,Hz,2000,Filter 4 frequency,Фильтр 4: частота,0,0,4
p162=F4QUA,162,UINT,R-W,100,20000,0.001,,,707,Filter 4 quality,Фильтр 4: добротность,0,0,4
p163=F4GL,163,INT,R-W,-400,400,0.1,дБ,dB,10,Filter 4 gain,Фильтр 4: усиление,0,0,4
p164=F4NUM0,164,INT,R-W,-32768,32767,0.0001,,,10000,Filter 4 coefficient b0,Фильтр 4: коэффициент b0,0,0,4
p165=F4NUM1,165,INT,R-W,-32768,32767,0.0001,,,0,Filter 4 coefficient b1,Фильтр 4: коэффициент b1,0,0,4
p166=F4NUM2,166,INT,R-W,-32768,32767,0.0001,,,0,Filter 4 coefficient b2,Фильтр 4: коэффициент b2,0,0,4
p167=F4DEN1,167,INT,R-W,-32768,32767,0.0001,,,0,Filter 4 coefficient a1,Фильтр 4: коэффициент a1,0,0,4
p168=F4DEN2,168,INT,R-W,-32768,32767,0.0001,,,0,Filter 4 coefficient a2,Фильтр 4: коэффициент a2,0,0,4
[Group]
Name_group=Position controller,Регулятор положения
[Subgroup]
Name_subgroup=Position loop,Контур положения
p169=KPP,169,UINT,R-W,0,30000,0.01,1/с,1/s,3000,Position loop gain,Коэффициент контура положения,0,0,5
p170=KVFFP,170,UINT,R-W,0,100,1,%,%,80,Speed feed forward,Упреждение по скорости,0,0,5
p171=KTFF,171,UINT,R-W,0,100,1,%,%,0,Torque feed forward,Упреждение по моменту,0,0,5
p172=PERRMX,172,UINT,R-W,0,65535,1,имп,cnts,8192,Following error fault level,Порог аварии по ошибке рассогласования,0,0,5
p173=PERRWL,173,UINT,R-W,0,65535,1,имп,cnts,4096,Following error warning level,Порог предупреждения по ошибке рассогласования,0,0,5
p174=INPOSW,174,UINT,R-W,0,10000,1,имп,cnts,20,In position window,Окно позиционирования,0,0,5
p175=INPOST,175,UINT,R-W,0,1000,1,мс,ms,10,In position time,Время в окне позиционирования,0,0,5
p176=PFILT,176,UINT,R-W,0,1000,1,мс,ms,0,Position command smoothing (0 off),Сглаживание задания положения (0 выкл.),0,0,5
p177=SWLEN,177,UINT,R-W,0,1,1,,,0,Software limits enable,Программные пределы включены,0,0,5
p178=PLIMP,178,INT,R-W,-32768,32767,1,об,rev,1000,Positive software limit,Положительный программный предел,0,0,5
p179=PLIMN,179,INT,R-W,-32768,32767,1,об,rev,-1000,Negative software limit,Отрицательный программный предел,0,0,5
[Subgroup]
Name_subgroup=Pulse input,Импульсный вход
p180=PINMOD,180,UINT,R-W,0,2,1,,,0,Pulse input mode (0 pulse/direction 1 A/B 2 CW/CCW),Режим импульсного входа (0 импульс/направление 1 A/B 2 CW/CCW),0,1,5
p181=PINDIR,181,UINT,R-W,0,1,1,,,0,Pulse input direction inversion,Инверсия направления импульсного входа,0,0,5
p182=PINFL,182,UINT,R-W,0,7,1,,,2,Pulse input filter code,Код фильтра импульсного входа,0,0,5
p183=GEARN,183,UINT,R-W,1,65535,1,,,1,Electronic gear numerator,Числитель электронного редуктора,0,0,5
p184=GEARD,184,UINT,R-W,1,65535,1,,,1,Electronic gear denominator,Знаменатель электронного редуктора,0,0,5
p185=PINMAX,185,UINT,R-W,1,3000,0.1,кГц,kHz,3000,Maximum pulse input frequency,Максимальная частота импульсного входа,0,0,5
[Subgroup]
Name_subgroup=Homing,Поиск нуля
p186=HMODE,186,UINT,R-W,0,6,1,,,0,Homing method (0 off),Способ поиска нуля (0 выкл.),0,0,5
p187=HVEL1,187,UINT,R-W,1,5000,1,об/мин,rpm,200,Homing speed to the switch,Скорость поиска датчика нуля,0,0,5
p188=HVEL2,188,UINT,R-W,1,1000,1,об/мин,rpm,20,Homing speed to the index,Скорость поиска метки,0,0,5
p189=HACC,189,UINT,R-W,1,60000,1,мс,ms,100,Homing acceleration time,Время разгона при поиске нуля,0,0,5
p190=HOFFS,190,INT,R-W,-32768,32767,1,имп,cnts,0,Home offset,Смещение нуля,0,0,5
p191=HTOUT,191,UINT,R-W,0,600,1,с,s,60,Homing time limit (0 off),Предельное время поиска нуля (0 выкл.),0,0,5
[Group]
Name_group=Oscilloscope signals,Сигналы осциллографа
[Subgroup]
Name_subgroup=Signals_osc_page1,Signals_osc_page1
p240=STA,240,UINT,R,0,65535,1,,,0,Status word (STA),Слово состояния (STA),2,0,0
p192=ISET,192,INT,R,-32768,32767,0.01,А,A,0,Current command (ISET),Задание тока (ISET),2,0,0
p193=IACT,193,INT,R,-32768,32767,0.01,А,A,0,Current actual (IACT),Ток фактический (IACT),2,0,0
p194=TSET,194,INT,R,-32768,32767,1,Н·см,N-cm,0,Torque command (TSET),Задание момента (TSET),2,0,0
p195=TACT,195,INT,R,-32768,32767,1,Н·см,N-cm,0,Torque actual (TACT),Момент фактический (TACT),2,0,0
p196=VERR,196,INT,R,-32768,32767,1,об/мин,rpm,0,Speed error (VERR),Ошибка скорости (VERR),2,0,0
p197=VSET,197,INT,R,-32768,32767,1,об/мин,rpm,0,Speed command (VSET),Задание скорости (VSET),2,0,0
p198=VACT,198,INT,R,-32768,32767,1,об/мин,rpm,0,Speed actual (VACT),Скорость фактическая (VACT),2,0,0
[Subgroup]
Name_subgroup=Signals_osc_page2,Signals_osc_page2
p199=PERR,199,INT,R,-32768,32767,1,имп,cnts,0,Following error (PERR),Ошибка рассогласования (PERR),2,0,0
p200=PRREV,200,INT,R,-32768,32767,1,об,rev,0,Position command revolutions (PRREV),Задание положения в оборотах (PRREV),2,0,0
p201=PRCTS,201,UINT,R,0,65535,1,имп,cnts,0,Position command counts (PRCTS),Задание положения в импульсах (PRCTS),2,0,0
p202=PFREV,202,INT,R,-32768,32767,1,об,rev,0,Position actual revolutions (PFREV),Фактическое положение в оборотах (PFREV),2,0,0
p203=PFCTS,203,UINT,R,0,65535,1,имп,cnts,0,Position actual counts (PFCTS),Фактическое положение в импульсах (PFCTS),2,0,0
p204=PRINC,204,INT,R,-32768,32767,1,имп,cnts,0,Position command increment (PRINC),Приращение задания положения (PRINC),2,0,0
p205=PFINC,205,INT,R,-32768,32767,1,имп,cnts,0,Position actual increment (PFINC),Приращение фактического положения (PFINC),2,0,0
p206=PINFRQ,206,INT,R,-32768,32767,0.01,кГц,kHz,0,Pulse input frequency (PINFRQ),Частота импульсного входа (PINFRQ),2,0,0
[Subgroup]
Name_subgroup=Signals_osc_page3,Signals_osc_page3
p207=IU,207,INT,R,-32768,32767,0.01,А,A,0,Phase U current (IU),Ток фазы U (IU),2,0,0
p208=IV,208,INT,R,-32768,32767,0.01,А,A,0,Phase V current (IV),Ток фазы V (IV),2,0,0
p209=ID,209,INT,R,-32768,32767,0.01,А,A,0,Flux current (ID),Ток намагничивания (ID),2,0,0
p210=IQ,210,INT,R,-32768,32767,0.01,А,A,0,Torque current (IQ),Активный ток (IQ),2,0,0
p211=UD,211,INT,R,-32768,32767,0.1,В,V,0,Voltage of the d axis (UD),Напряжение по оси d (UD),2,0,0
p212=UQ,212,INT,R,-32768,32767,0.1,В,V,0,Voltage of the q axis (UQ),Напряжение по оси q (UQ),2,0,0
p213=VBUS,213,UINT,R,0,65535,0.1,В,V,0,DC bus voltage (VBUS),Напряжение звена (VBUS),2,0,0
p214=THETA,214,UINT,R,0,3599,0.1,эл.град,el.deg,0,Electrical angle (THETA),Электрический угол (THETA),2,0,0
[Subgroup]
Name_subgroup=Signals_osc_page4,Signals_osc_page4
p215=AINVOL,215,INT,R,-32768,32767,1,мВ,mV,0,Analog input voltage (AINVOL),Напряжение аналогового входа (AINVOL),2,0,0
p244=DINSTA,244,UINT,R,0,65535,1,,,0,Digital inputs state (DINSTA),Состояние цифровых входов (DINSTA),2,0,0
p216=DOSTA,216,UINT,R,0,65535,1,,,0,Digital outputs state (DOSTA),Состояние цифровых выходов (DOSTA),2,0,0
p245=APXSTA,245,UINT,R,0,65535,1,,,0,Application status word (APXSTA),Слово состояния приложения (APXSTA),2,0,0
p217=TDRV,217,INT,R,-32768,32767,0.1,°C,°C,0,Drive temperature (TDRV),Температура привода (TDRV),2,0,0
p218=TMOT,218,INT,R,-32768,32767,0.1,°C,°C,0,Motor temperature (TMOT),Температура двигателя (TMOT),2,0,0
p219=I2T,219,UINT,R,0,65535,0.1,%,%,0,Motor load i2t (I2T),Нагрузка двигателя i2t (I2T),2,0,0
p220=LOAD,220,UINT,R,0,65535,0.1,%,%,0,Drive load (LOAD),Нагрузка привода (LOAD),2,0,0
[Subgroup]
Name_subgroup=Signals_osc_page5,Signals_osc_page5
p221=PINCNT,221,INT,R,-32768,32767,1,имп,cnts,0,Pulse input counter (PINCNT),Счётчик импульсного входа (PINCNT),2,0,0
p222=AO1VOL,222,INT,R,-32768,32767,1,мВ,mV,0,Analog output 1 voltage (AO1VOL),Напряжение аналогового выхода 1 (AO1VOL),2,0,0
p223=AO2VOL,223,INT,R,-32768,32767,1,мВ,mV,0,Analog output 2 voltage (AO2VOL),Напряжение аналогового выхода 2 (AO2VOL),2,0,0
p224=RES1,224,UINT,R,0,65535,1,,,0,Reserved 1 (RES1),Резерв 1 (RES1),2,0,0
p225=RES2,225,UINT,R,0,65535,1,,,0,Reserved 2 (RES2),Резерв 2 (RES2),2,0,0
[Subgroup]
Name_subgroup=Signals_osc_page6,Signals_osc_page6
p226=BRLOAD,226,UINT,R,0,65535,0.1,%,%,0,Braking resistor load (BRLOAD),Нагрузка тормозного резистора (BRLOAD),2,0,0
p227=RES3,227,UINT,R,0,65535,1,,,0,Reserved 3 (RES3),Резерв 3 (RES3),2,0,0
p228=RES4,228,UINT,R,0,65535,1,,,0,Reserved 4 (RES4),Резерв 4 (RES4),2,0,0
p229=RES5,229,UINT,R,0,65535,1,,,0,Reserved 5 (RES5),Резерв 5 (RES5),2,0,0
[Group]
Name_group=Service,Сервис
[Subgroup]
Name_subgroup=Status words,Слова состояния
p241=ERR,241,UINT,R,0,65535,1,,,0,Error word,Слово ошибок,1,0,0
p242=WRN,242,UINT,R,0,65535,1,,,0,Warning word,Слово предупреждений,1,0,0
p243=APPSGN,243,UINT,R,0,65535,1,,,0,Application signals word,Слово сигналов приложения,1,0,0
p246=APXERR,246,UINT,R,0,65535,1,,,0,Appendix errors word,Слово ошибок приложения,1,0,0
[Subgroup]
Name_subgroup=Counters,Счётчики
p247=OPHRS,247,UINT,R,0,65535,1,ч,h,0,Operating hours,Наработка,1,0,0
p248=EEPCNT,248,UINT,R,0,65535,1,,,0,EEPROM write counter,Счётчик записей в EEPROM,1,0,0
p249=LASTERR,249,UINT,R,0,65535,1,,,0,Last error code,Код последней ошибки,1,0,0
; State bits: Col lines for the words 240 (state) 241 (errors) 242 (warnings)
Col240_0=SRVON,240,0,R,Servo enabled,Сервопривод включён,0,6
Col240_1=ERRACT,240,1,R,Error present,Есть ошибка,0,6
Col240_2=WRNACT,240,2,R,Warning present,Есть предупреждение,0,6
Col240_3=ZEROSP,240,3,R,Zero speed,Нулевая скорость,0,6
Col240_4=INPOS,240,4,R,In position,В позиции,0,6
Col240_5=FGRUN,240,5,R,Function generator running,Генератор функций работает,0,6
Col240_6=ILIMIT,240,6,R,Current limit active,Ограничение тока,0,6
Col240_7=READY,240,7,R,Drive ready,Привод готов,0,6
Col240_8=OSCREC,240,8,R,Oscilloscope recording,Идёт запись осциллограммы,0,6
Col240_9=EXTCTL,240,9,R,External control,Внешнее управление,0,6
Col240_10=HOMED,240,10,R,Homing done,Нуль найден,0,6
Col240_11=BRKOFF,240,11,R,Brake released,Тормоз отпущен,0,6
Col240_12=STOACT,240,12,R,Safe torque off active,Безопасное отключение момента,0,6
Col240_13=SWLIM,240,13,R,Software limit reached,Достигнут программный предел,0,6
Col240_14=PCEN,240,14,R,Enabled from PC,Включён с ПК,0,6
Col240_15=HWEN,240,15,R,Hardware enable input,Вход разрешения,0,6
Col241_0=ERROC,241,0,R,Overcurrent,Превышение тока,0,6
Col241_1=ERROV,241,1,R,DC bus overvoltage,Перенапряжение звена,0,6
Col241_2=ERRUV,241,2,R,DC bus undervoltage,Пониженное напряжение звена,0,6
Col241_3=ERROTD,241,3,R,Drive overtemperature,Перегрев привода,0,6
Col241_4=ERROTM,241,4,R,Motor overtemperature,Перегрев двигателя,0,6
Col241_5=ERRENC,241,5,R,Encoder error,Ошибка датчика положения,0,6
Col241_6=ERRHALL,241,6,R,Hall sensor error,Ошибка датчиков Холла,0,6
Col241_7=ERRFOL,241,7,R,Following error too large,Превышена ошибка рассогласования,0,6
Col241_8=ERROS,241,8,R,Overspeed,Превышение скорости,0,6
Col241_9=ERRI2T,241,9,R,Motor overload (i2t),Перегрузка двигателя (i2t),0,6
Col241_10=ERRCOM,241,10,R,Communication time-out,Потеря связи,0,6
Col241_11=ERREEP,241,11,R,EEPROM checksum error,Ошибка контрольной суммы EEPROM,0,6
Col241_12=ERRPAR,241,12,R,Parameter error,Ошибка параметров,0,6
Col241_13=ERRSC,241,13,R,Short circuit,Короткое замыкание,0,6
Col241_14=ERRPWR,241,14,R,Power stage fault,Авария силового каскада,0,6
Col241_15=ERRINT,241,15,R,Internal error,Внутренняя ошибка,0,6
Col242_0=WRNOV,242,0,R,DC bus voltage high,Напряжение звена повышено,0,6
Col242_1=WRNUV,242,1,R,DC bus voltage low,Напряжение звена понижено,0,6
Col242_2=WRNTD,242,2,R,Drive temperature high,Температура привода повышена,0,6
Col242_3=WRNTM,242,3,R,Motor temperature high,Температура двигателя повышена,0,6
Col242_4=WRNCUR,242,4,R,Current above warning level,Ток выше порога предупреждения,0,6
Col242_5=WRNFOL,242,5,R,Following error warning,Ошибка рассогласования велика,0,6
Col242_6=WRNLSP,242,6,R,Positive limit switch,Концевой выключатель +,0,6
Col242_7=WRNLSN,242,7,R,Negative limit switch,Концевой выключатель -,0,6
Col242_8=WRNSWP,242,8,R,Positive software limit,Программный предел +,0,6
Col242_9=WRNSWN,242,9,R,Negative software limit,Программный предел -,0,6
Col242_10=WRNVLM,242,10,R,Speed limit active,Ограничение скорости,0,6
Col242_11=WRNENC,242,11,R,Encoder signal weak,Слабый сигнал датчика,0,6
Col242_12=WRNFAN,242,12,R,Fan fault,Неисправность вентилятора,0,6
Col242_13=WRNREG,242,13,R,Braking resistor overload,Перегрузка тормозного резистора,0,6
Col242_14=WRNSAV,242,14,R,Parameters not saved,Параметры не сохранены,0,6
Col242_15=WRNI2T,242,15,R,Motor overload warning (i2t),Предупреждение о перегрузке (i2t),0,6
; Application bits: App lines for the words 243 (APPSGN) 244 (DINSTA) 246 (APXERR)
App243_0=APMAIN,243,0,R,Mains power on,Силовое питание подано,0,7
App243_1=APON,243,1,R,Drive on,Привод включён,0,7
App243_2=APMOVE,243,2,R,Motion active,Идёт движение,0,7
App243_3=APHOME,243,3,R,Homing active,Идёт поиск нуля,0,7
App243_4=APLSP,243,4,R,Positive limit switch,Концевой выключатель +,0,7
App243_5=APLSN,243,5,R,Negative limit switch,Концевой выключатель -,0,7
App243_6=APBRK,243,6,R,Brake output,Выход тормоза,0,7
App243_7=APPOS,243,7,R,Target position reached,Позиция достигнута,0,7
App243_8=APVEL,243,8,R,Speed reached,Скорость достигнута,0,7
App243_9=APTLIM,243,9,R,Torque limit reached,Достигнуто ограничение момента,0,7
App243_10=APPIN,243,10,R,Pulse input active,Импульсный вход активен,0,7
App243_11=APAIN,243,11,R,Analog command active,Аналоговое задание активно,0,7
App243_12=APFGD,243,12,R,Generator motion done,Движение генератора завершено,0,7
App243_13=APTRG,243,13,R,Capture triggered,Запуск записи,0,7
App243_14=APGS2,243,14,R,Gain set 2 active,Действует набор коэффициентов 2,0,7
App243_15=APHB,243,15,R,Heartbeat,Признак работы,0,7
App244_0=DI1,244,0,R,Digital input 1,Цифровой вход 1,0,7
App244_1=DI2,244,1,R,Digital input 2,Цифровой вход 2,0,7
App244_2=DI3,244,2,R,Digital input 3,Цифровой вход 3,0,7
App244_3=DI4,244,3,R,Digital input 4,Цифровой вход 4,0,7
App244_4=DI5,244,4,R,Digital input 5,Цифровой вход 5,0,7
App244_5=DI6,244,5,R,Digital input 6,Цифровой вход 6,0,7
App244_6=DI7,244,6,R,Digital input 7,Цифровой вход 7,0,7
App244_7=DI8,244,7,R,Digital input 8,Цифровой вход 8,0,7
App246_0=AXPOV,246,0,R,Pulse input overflow,Переполнение импульсного входа,0,7
App246_1=AXAIN,246,1,R,Analog input out of range,Аналоговый вход вне диапазона,0,7
App246_2=AXHOM,246,2,R,Homing failed,Поиск нуля не выполнен,0,7
App246_3=AXGEAR,246,3,R,Gear ratio invalid,Неверный коэффициент редуктора,0,7
App246_4=AXSWL,246,4,R,Software limit exceeded,Превышен программный предел,0,7
App246_5=AXREG,246,5,R,Braking resistor fault,Неисправность тормозного резистора,0,7
App246_6=AXBRK,246,6,R,Motor brake fault,Неисправность тормоза двигателя,0,7
App246_7=AXBAT,246,7,R,Encoder battery low,Батарея датчика разряжена,0,7
; Scope bits: the bits of the APXSTA signal (osc lines carry index 0)
osc_0=APMAIN,0,0,R,Mains power on,Силовое питание подано,0,0
osc_1=APON,0,1,R,Drive on,Привод включён,0,0
osc_2=APMOVE,0,2,R,Motion active,Идёт движение,0,0
osc_3=APHOME,0,3,R,Homing active,Идёт поиск нуля,0,0
osc_4=APLSP,0,4,R,Positive limit switch,Концевой выключатель +,0,0
osc_5=APLSN,0,5,R,Negative limit switch,Концевой выключатель -,0,0
osc_6=APBRK,0,6,R,Brake output,Выход тормоза,0,0
osc_7=APPOS,0,7,R,Target position reached,Позиция достигнута,0,0
osc_8=APVEL,0,8,R,Speed reached,Скорость достигнута,0,0
osc_9=APTLIM,0,9,R,Torque limit reached,Достигнуто ограничение момента,0,0
osc_10=APPIN,0,10,R,Pulse input active,Импульсный вход активен,0,0
osc_11=APAIN,0,11,R,Analog command active,Аналоговое задание активно,0,0
osc_12=APFGD,0,12,R,Generator motion done,Движение генератора завершено,0,0
osc_13=APTRG,0,13,R,Capture triggered,Запуск записи,0,0
osc_14=APGS2,0,14,R,Gain set 2 active,Действует набор коэффициентов 2,0,0
osc_15=APHB,0,15,R,Heartbeat,Признак работы,0,0
; Calculated parameters: limits and defaults that follow the drive type (DT) and the motor type (MT)
; Rf,pN=...(as a parameter line)...,Pass,Reason (1 drive 2 motor 3 both),Formula fields (1 min 2 max 4 default)
Rf,p1=DICONT,1,UINT,R,0,20000,0.01,А,A,f: if p0 = 1 then 200 else if p0 = 2 then 400 else if p0 = 3 then 600 else if p0 = 4 then 800 else if p0 = 5 then 1200 else if p0 = 6 then 1600 else if p0 = 7 then 2400 else if p0 = 8 then 3200 else if p0 = 9 then 4800 else 6400,Drive continuous current,Длительный ток привода,0,0,1,1,1,4
Rf,p3=DVBUS,3,UINT,R,0,10000,0.1,В,V,f: if p0 < 6 then 3250 else 5600,Nominal DC bus voltage,Номинальное напряжение звена,0,0,1,1,1,4
Rf,p94=MOVSPD,94,UINT,R-W,1,30000,1,об/мин,rpm,f: p76 * 1.2,Overspeed fault level,Порог превышения скорости,0,0,2,1,2,4
Rf,p119=VLIM,119,UINT,R-W,0,f: p76,1,об/мин,rpm,f: p76,Speed limit,Ограничение скорости,0,0,4,1,2,6
Rf,p48=AINSCV,48,UINT,R-W,1,20000,1,об/мин,rpm,f: p76,Speed at 10 V analog command,Скорость при задании 10 В,0,0,1,1,2,4
Rf,p105=KPI,105,UINT,R-W,0,30000,0.01,В/А,V/A,f: p79 * 6,Current loop proportional gain,Пропорциональный коэффициент контура тока,0,0,3,1,2,4
Rf,p97=PHFI,97,UINT,R-W,0,f: p72,0.01,А,A,f: p72 / 2,Phase finding current,Ток поиска фазы,0,1,2,1,2,6
Rf,p172=PERRMX,172,UINT,R-W,0,65535,1,имп,cnts,f: p84 / 2,Following error fault level,Порог аварии по ошибке рассогласования,0,0,5,1,2,4
Rf,p2=DIPEAK,2,UINT,R,0,60000,0.01,А,A,f: p1 * 3,Drive peak current,Пиковый ток привода,0,0,1,2,1,4
Rf,p101=ICONT,101,UINT,R-W,0,f: min(p1|p72),0.01,А,A,f: min(p1|p72),Continuous current limit,Предельный длительный ток,0,0,3,2,3,6
Rf,p173=PERRWL,173,UINT,R-W,0,65535,1,имп,cnts,f: p172 / 2,Following error warning level,Порог предупреждения по ошибке рассогласования,0,0,5,2,2,4
Rf,p99=IFL,99,UINT,R-W,0,f: min(p2|p71),0.01,А,A,f: min(p2|p71),Peak current limit,Предельный пиковый ток,0,0,3,3,3,6
Rf,p112=IDMAX,112,UINT,R-W,0,30000,0.01,А,A,f: p101 / 2,Maximum field weakening current,Максимальный ток ослабления поля,0,0,3,3,3,4
Rf,p100=IWL,100,UINT,R-W,0,f: p99,0.01,А,A,f: p99 * 0.9,Current warning level,Порог предупреждения по току,0,0,3,4,3,6
Rf,p102=ILIMP,102,UINT,R-W,0,f: p99,0.01,А,A,f: p99,Positive current limit,Ограничение тока в положительном направлении,0,0,3,4,3,6
Rf,p103=ILIMN,103,UINT,R-W,0,f: p99,0.01,А,A,f: p99,Negative current limit (magnitude),Ограничение тока в отрицательном направлении,0,0,3,4,3,6
Rf,p49=AINSCI,49,UINT,R-W,1,30000,0.01,А,A,f: p99,Current at 10 V analog command,Ток при задании 10 В,0,0,1,4,3,4
