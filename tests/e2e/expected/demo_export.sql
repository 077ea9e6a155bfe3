delete from KUPCI
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(1, 'Kovač d.o.o.', 'Ljubljana', 'LJ', '1. 03. 2024', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(2, 'Šumi trgovina', 'Maribor', 'MB', '17. 05. 2024', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(3, 'Žaga Novak', 'Celje', 'CE', '9. 01. 2025', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(4, 'Pekarna "Pri Mojci"', 'Kranj', 'KR', '30. 11. 2023', 'Kelvo demo')
;

Insert into KUPCI 
   (SIFRA, NAZIV, KRAJ, REGIJA, DATUM, VIR)
values 
(5, 'O''Brien Consulting', 'Koper', 'KP', '4. 07. 2022', 'Kelvo demo')
;

delete from NAROCILA
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 1, 1250.5000, '15. 03. 2024', 'Plačana', 'P-2024', 101) 
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 2, 89.9000, '2. 06. 2024', 'Nova', 'P-2024', 102) 
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 1, 420.0000, '20. 09. 2024', 'Nova', 'P-2024', 104) 
;

Insert into NAROCILA 
   (ST, KUPEC, ZNESEK, DATUM, STATUS, POGODBA, IZVOR)
values 
((SELECT COALESCE(MAX(ST), 0)+1 FROM NAROCILA), 5, 3100.7500, '1. 12. 2024', 'Plačana', 'P-2024', 105) 
;

