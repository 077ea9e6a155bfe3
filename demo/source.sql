create table CUSTOMERS (ID integer primary key, NAME varchar(40), CITY varchar(30), CREATED date);
insert into CUSTOMERS values (1, 'Kovač d.o.o.', 'Ljubljana', '2024-03-01');
insert into CUSTOMERS values (2, 'Šumi trgovina', 'Maribor', '2024-05-17');
insert into CUSTOMERS values (3, 'Žaga Novak', 'Celje', '2025-01-09');
