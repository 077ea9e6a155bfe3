delete from KUPCI
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(1, 'Kovač d.o.o.', 'Ljubljana', 'LJ', '2024-03-01', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(2, 'Šumi trgovina', 'Maribor', 'MB', '2024-05-17', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(3, 'Žaga Novak', 'Celje', 'CE', '2025-01-09', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(4, 'Pekarna "Pri Mojci"', 'Kranj', 'KR', '2023-11-30', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(5, 'O''Brien Consulting', 'Koper', 'KP', '2022-07-04', 'Kelvo demo')
;

delete from NAROCILA
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 1, 1250.5000, '2024-03-15', 'Plačana', 'P-2024', 101) 
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 2, 89.9000, '2024-06-02', 'Nova', 'P-2024', 102) 
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 1, 420.0000, '2024-09-20', 'Nova', 'P-2024', 104) 
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 5, 3100.7500, '2024-12-01', 'Plačana', 'P-2024', 105) 
;

